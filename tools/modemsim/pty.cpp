#include "tools/modemsim/pty.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <vector>

namespace hushcall::modemsim {
namespace {

[[noreturn]] void ThrowErrno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

volatile sig_atomic_t g_child = 0;

void ForwardSignal(int signal) {
  if (g_child > 0) kill(g_child, signal);
}

void MakeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) < 0) ThrowErrno("tcgetattr");
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
  if (tcsetattr(fd, TCSANOW, &t) < 0) ThrowErrno("tcsetattr");
}

std::string ReadLink(const std::string& path) {
  std::vector<char> buffer(4096);
  ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
  return n < 0 ? std::string() : std::string(buffer.data(), static_cast<size_t>(n));
}

}  // namespace

void EnterOwnSession() {
  if (setsid() >= 0) return;
  if (errno != EPERM) ThrowErrno("setsid");
  // A process group leader can't start a session; its child can.
  pid_t child = fork();
  if (child < 0) ThrowErrno("fork");
  if (child == 0) {
    if (setsid() < 0) ThrowErrno("setsid");
    return;
  }
  g_child = child;
  struct sigaction forward {};
  forward.sa_handler = ForwardSignal;
  sigemptyset(&forward.sa_mask);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &forward, nullptr);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  std::fflush(nullptr);
  _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

Pty OpenPty() {
  Pty pty;
  pty.master.reset(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!pty.master) ThrowErrno("posix_openpt");
  if (grantpt(pty.master.get()) < 0) ThrowErrno("grantpt");
  if (unlockpt(pty.master.get()) < 0) ThrowErrno("unlockpt");
  const char* name = ptsname(pty.master.get());
  if (!name) ThrowErrno("ptsname");
  pty.slavePath = name;
  pty.slave.reset(open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!pty.slave) ThrowErrno("open " + pty.slavePath);
  if (ioctl(pty.slave.get(), TIOCSCTTY, 0) < 0) ThrowErrno("TIOCSCTTY");
  MakeRaw(pty.slave.get());
  return pty;
}

SymlinkGuard::SymlinkGuard(const std::string& target, const std::string& path)
    : target_(target), path_(path) {
  // Made under a temporary name and renamed over the old one, so the path
  // never names a missing port in between.
  const std::string temporary = path + ".modemsim-" + std::to_string(getpid());
  unlink(temporary.c_str());
  if (symlink(target.c_str(), temporary.c_str()) < 0) ThrowErrno("symlink " + temporary);
  if (rename(temporary.c_str(), path.c_str()) < 0) {
    int error = errno;
    unlink(temporary.c_str());
    errno = error;
    ThrowErrno("rename to " + path);
  }
}

SymlinkGuard::~SymlinkGuard() {
  if (ReadLink(path_) == target_) unlink(path_.c_str());
}

ControlFifo::ControlFifo(const std::string& path) : path_(path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) unlink(path.c_str());
  if (mkfifo(path.c_str(), 0600) < 0) ThrowErrno("mkfifo " + path);
  reader_.reset(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!reader_) ThrowErrno("open " + path);
  keeper_.reset(open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
  if (!keeper_) ThrowErrno("open " + path);
}

ControlFifo::~ControlFifo() { unlink(path_.c_str()); }

}  // namespace hushcall::modemsim
