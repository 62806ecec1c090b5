// The line: a pseudo-terminal whose slave the PC side opens as its serial
// port, and the named things that lead to it (the link, the control FIFO).
#pragma once

#include <string>

#include "common/posix/unique_fd.h"

namespace hushcall::modemsim {

using posix::UniqueFd;

// Makes this process the leader of a new session, so that the pty can
// become its controlling terminal. When the process already leads a process
// group (started from an interactive shell) it forks: the parent stays to
// pass on SIGTERM and SIGINT and exits with the child's status, and only
// the child returns. Throws std::system_error.
void EnterOwnSession();

struct Pty {
  UniqueFd master;  // non-blocking, raw
  // Held open for the whole run: it makes the pty this session's
  // controlling terminal (so wineserver never adopts it and gets no SIGHUP
  // when the line closes), and it keeps the master from reporting a hangup
  // while no PC has the port open.
  UniqueFd slave;
  std::string slavePath;
};

// Opens a pty in raw mode at 9600 8N1 and makes it the controlling terminal
// of this session. Throws std::system_error.
Pty OpenPty();

// A symlink to `target` at `path`, replacing what was there; removed when
// this object goes, unless something else has replaced it meanwhile.
class SymlinkGuard {
 public:
  SymlinkGuard(const std::string& target, const std::string& path);
  ~SymlinkGuard();
  SymlinkGuard(const SymlinkGuard&) = delete;
  SymlinkGuard& operator=(const SymlinkGuard&) = delete;

 private:
  std::string target_;
  std::string path_;
};

// A FIFO at `path` (an old FIFO there is replaced), open for reading
// without blocking. A writer end is held too, so the read end never sees
// end-of-file when a client closes. Removed when this object goes.
class ControlFifo {
 public:
  explicit ControlFifo(const std::string& path);
  ~ControlFifo();
  ControlFifo(const ControlFifo&) = delete;
  ControlFifo& operator=(const ControlFifo&) = delete;

  int fd() const { return reader_.get(); }

 private:
  std::string path_;
  UniqueFd reader_;
  UniqueFd keeper_;
};

}  // namespace hushcall::modemsim
