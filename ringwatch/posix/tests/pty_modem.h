// What the POSIX ring-watch tests share: a modem on the master side of a
// pseudo-terminal, run from the test's own EventLoop, a scratch folder for
// the device's symlink, and waits that run the loop until something holds.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include "common/posix/unique_fd.h"
#include "ringwatch/posix/event_loop.h"

namespace hushcall::ringwatch::testing {

[[noreturn]] inline void ThrowErrno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

// Runs the loop until `done` holds or `maxMs` have passed; says whether it
// holds.
inline bool PumpUntil(EventLoop& loop, const std::function<bool()>& done, int maxMs) {
  const std::int64_t deadline = loop.NowMs() + maxMs;
  while (!done()) {
    const std::int64_t left = deadline - loop.NowMs();
    if (left <= 0) return false;
    loop.RunOnce(static_cast<int>(left < 50 ? left : 50));
  }
  return true;
}

// Runs the loop for `ms`.
inline void PumpFor(EventLoop& loop, int ms) {
  PumpUntil(loop, [] { return false; }, ms);
}

// Whether a watched descriptor of the loop becomes ready within `maxMs`,
// without running any handler.
inline bool LoopReady(EventLoop& loop, int maxMs) {
  pollfd ready{loop.fd(), POLLIN, 0};
  return ::poll(&ready, 1, maxMs) > 0;
}

// A fresh folder under the temporary directory, removed with its contents.
class TempDir {
 public:
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                          "/hushcall-posix-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) ThrowErrno("mkdtemp");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Makes `link` a symlink to `target`, replacing what was there in one step.
inline void PointLink(const std::string& link, const std::string& target) {
  const std::string fresh = link + ".new";
  std::filesystem::remove(fresh);
  std::filesystem::create_symlink(target, fresh);
  std::filesystem::rename(fresh, link);
}

// The modem: holds the pty's master, records what the PC side sends and
// answers "OK" CR LF to every "ATZ" CR. It also holds the slave open, as the
// modem simulator does, so that the master never reports a hang-up while the
// port under test has the line closed.
class PtyModem {
 public:
  explicit PtyModem(EventLoop& loop) : loop_(loop) {
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) ThrowErrno("openpty");
    master_.reset(master);
    slave_.reset(slave);
    if (::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK) != 0 ||
        ::fcntl(master, F_SETFD, FD_CLOEXEC) != 0 || ::fcntl(slave, F_SETFD, FD_CLOEXEC) != 0) {
      ThrowErrno("fcntl");
    }
    const char* name = ::ttyname(slave);
    if (name == nullptr) ThrowErrno("ttyname");
    path_ = name;
    termios raw{};
    if (::tcgetattr(slave, &raw) != 0) ThrowErrno("tcgetattr");
    ::cfmakeraw(&raw);
    if (::tcsetattr(slave, TCSANOW, &raw) != 0) ThrowErrno("tcsetattr");
    watch_ = loop_.Add(master, EPOLLIN, [this](std::uint32_t) { OnReadable(); });
  }
  PtyModem(const PtyModem&) = delete;
  PtyModem& operator=(const PtyModem&) = delete;

  bool answers = true;  // answers each reset

  const std::string& path() const { return path_; }
  // Everything the PC side sent.
  const std::string& received() const { return received_; }
  int resets() const { return resets_; }

  // Sends all of `text` to the PC side; while the line is full the loop
  // runs, so that the port takes what waits. Throws after 10 s.
  void Send(std::string_view text) {
    const std::int64_t deadline = loop_.NowMs() + 10000;
    while (!text.empty()) {
      const ssize_t n = ::write(master_.get(), text.data(), text.size());
      if (n > 0) {
        text.remove_prefix(static_cast<std::size_t>(n));
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) ThrowErrno("write to the pty master");
      if (loop_.NowMs() > deadline) throw std::runtime_error("the port took nothing for 10 s");
      loop_.RunOnce(10);
    }
  }

  // The modem side goes away: the PC side's tty is hung up.
  void HangUp() {
    watch_.Reset();
    master_.reset();
    slave_.reset();
  }

 private:
  void OnReadable() {
    char chunk[4096];
    for (;;) {
      const ssize_t n = ::read(master_.get(), chunk, sizeof chunk);
      if (n <= 0) break;
      received_.append(chunk, static_cast<std::size_t>(n));
    }
    for (std::size_t at; (at = received_.find("ATZ\r", scanned_)) != std::string::npos;) {
      scanned_ = at + 4;
      ++resets_;
      if (answers) Send("OK\r\n");
    }
  }

  EventLoop& loop_;
  posix::UniqueFd master_;
  posix::UniqueFd slave_;
  EventLoop::Watch watch_;
  std::string path_;
  std::string received_;
  std::size_t scanned_ = 0;
  int resets_ = 0;
};

}  // namespace hushcall::ringwatch::testing
