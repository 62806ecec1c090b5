#include "ringwatch/posix/secret_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/posix/unique_fd.h"

namespace hushcall::ringwatch {
namespace {

// A password is a line; more than this is the wrong file.
constexpr std::size_t kMaxBytes = 4096;

std::string Mode(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

}  // namespace

SecretFile ReadSecretFile(const std::string& path) {
  SecretFile file;
  // Checked on the file opened, not on its name, which may change between.
  posix::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0) {
    file.problem = std::string("cannot be read: ") + std::strerror(errno);
    return file;
  }
  if (!S_ISREG(st.st_mode)) {
    file.problem = "is not a regular file";
    return file;
  }
  if (st.st_uid != ::geteuid()) {
    file.problem = "belongs to another user (uid " + std::to_string(st.st_uid) +
                   "); it must be yours alone";
    return file;
  }
  if ((st.st_mode & 077) != 0) {
    file.problem = "is open to group or others (mode " + Mode(st.st_mode) +
                   "); it must be yours alone: chmod 600 it";
    return file;
  }
  std::string text;
  char buffer[1024];
  while (true) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      file.problem = std::string("cannot be read: ") + std::strerror(errno);
      return file;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > kMaxBytes) {
      file.problem = "is larger than 4 KiB; it should hold the password alone";
      return file;
    }
  }
  text.resize(std::min(text.find('\n'), text.size()));
  if (!text.empty() && text.back() == '\r') text.pop_back();
  if (text.empty()) {
    file.problem = "holds no password on its first line";
    return file;
  }
  file.secret = std::move(text);
  return file;
}

}  // namespace hushcall::ringwatch
