// Runs the real binary on a real pty and talks to it the way a serial port
// driver does: open the link, raw mode, write a command, read the answer.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "modemsim-test.XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string operator/(const char* name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// Reads from `fd` until `text` has been seen or `limit` has passed.
std::string ReadUntil(int fd, const std::string& text, milliseconds limit = milliseconds(2000)) {
  std::string got;
  const auto end = steady_clock::now() + limit;
  while (got.find(text) == std::string::npos && steady_clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    char buffer[256];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

class Modem {
 public:
  explicit Modem(std::vector<std::string> args) {
    int out[2];
    EXPECT_EQ(pipe(out), 0);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv{const_cast<char*>(MODEMSIM_BINARY)};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(MODEMSIM_BINARY, argv.data());
      _exit(127);
    }
    close(out[1]);
    stdout_ = out[0];
    const std::string line = ReadUntil(stdout_, "\n");
    if (line.rfind("ready ", 0) == 0) slave_ = line.substr(6, line.size() - 7);
  }
  ~Modem() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(stdout_);
  }

  const std::string& slave() const { return slave_; }

  // Waits for the simulator to exit on its own; returns its exit status.
  int Wait(milliseconds limit = milliseconds(3000)) {
    const auto end = steady_clock::now() + limit;
    int status = 0;
    while (steady_clock::now() < end) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
      }
      usleep(5000);
    }
    return -1000;
  }
  void Signal(int s) { kill(pid_, s); }

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
  std::string slave_;
};

// Opens the link as a serial port driver would: no controlling terminal,
// raw 8-bit, no echo from the line discipline.
int OpenPort(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return fd;
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
  tcsetattr(fd, TCSANOW, &t);
  tcflush(fd, TCIOFLUSH);
  return fd;
}

void WriteAll(int fd, const std::string& bytes) {
  ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

void SendControl(const std::string& fifo, const std::string& line) {
  int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  WriteAll(fd, line);
  close(fd);
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& tail) {
  for (const auto& l : lines) {
    if (l.size() >= tail.size() && l.compare(l.size() - tail.size(), tail.size(), tail) == 0) return true;
  }
  return false;
}

TEST(ModemsimEndToEnd, AnswersAtzRingsOnRequestAndLogsEveryByte) {
  TempDir dir;
  const std::string link = dir / "com5";
  const std::string transcript = dir / "transcript";
  const std::string control = dir / "control";
  Modem modem({"--link", link, "--transcript", transcript, "--control", control,
               "--reply-delay-ms", "20"});
  ASSERT_FALSE(modem.slave().empty());
  EXPECT_EQ(fs::read_symlink(link).string(), modem.slave());

  int port = OpenPort(link);
  ASSERT_GE(port, 0);
  WriteAll(port, "ATZ\r");
  EXPECT_EQ(ReadUntil(port, "OK\r\n"), "ATZ\r\r\nOK\r\n");

  SendControl(control, "ring\n");
  EXPECT_EQ(ReadUntil(port, "RING\r\n"), "RING\r\n");
  SendControl(control, "send NO CARRIER\\r\\n\nquit\n");
  EXPECT_EQ(ReadUntil(port, "\r\n"), "NO CARRIER\r\n");
  close(port);

  EXPECT_EQ(modem.Wait(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  EXPECT_FALSE(fs::exists(fs::symlink_status(control)));

  const auto lines = Lines(transcript);
  const std::regex form(R"(\d{16} (rx|tx|ev) .*)");
  for (const auto& l : lines) EXPECT_TRUE(std::regex_match(l, form)) << l;
  EXPECT_TRUE(HasLine(lines, " ev ready " + modem.slave()));
  EXPECT_TRUE(HasLine(lines, " rx ATZ\\r"));
  EXPECT_TRUE(HasLine(lines, " tx ATZ\\r"));
  EXPECT_TRUE(HasLine(lines, " tx \\r\\nOK\\r\\n"));
  EXPECT_TRUE(HasLine(lines, " ev control ring"));
  EXPECT_TRUE(HasLine(lines, " tx RING\\r\\n"));
  EXPECT_TRUE(HasLine(lines, " ev exit"));
}

TEST(ModemsimEndToEnd, PlaysTheCallScriptAfterTheFirstAnswerAndExits) {
  TempDir dir;
  const std::string link = dir / "com5";
  Modem modem({"--link", link, "--transcript", dir / "transcript", "--reply-delay-ms", "0",
               "--no-echo", "--calls", "2", "--rings", "2", "--ring-interval-ms", "30",
               "--call-gap-ms", "60", "--first-ring-ms", "20", "--exit-after-calls"});
  int port = OpenPort(link);
  ASSERT_GE(port, 0);
  // No ring before the modem has been initialised.
  EXPECT_EQ(ReadUntil(port, "RING", milliseconds(150)), "");
  WriteAll(port, "ATZ\r");
  const std::string got = ReadUntil(port, "RING\r\nRING\r\nRING\r\nRING\r\n");
  EXPECT_EQ(got, "\r\nOK\r\nRING\r\nRING\r\nRING\r\nRING\r\n");
  close(port);
  EXPECT_EQ(modem.Wait(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(ModemsimEndToEnd, SigtermRemovesTheLinkAndExitsZero) {
  TempDir dir;
  const std::string link = dir / "com5";
  Modem modem({"--link", link, "--transcript", dir / "transcript"});
  ASSERT_TRUE(fs::is_symlink(link));
  modem.Signal(SIGTERM);
  EXPECT_EQ(modem.Wait(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(ModemsimEndToEnd, HangupAfterTheScriptClosesTheLine) {
  TempDir dir;
  const std::string link = dir / "com5";
  Modem modem({"--link", link, "--transcript", dir / "transcript", "--no-wait-init",
               "--hangup-after-ms", "50", "--exit-after-calls"});
  int port = OpenPort(link);
  ASSERT_GE(port, 0);
  EXPECT_EQ(modem.Wait(), 0);
  // The PC side sees the line gone: a read ends with EOF or EIO, not EAGAIN.
  char byte;
  errno = 0;
  EXPECT_LE(read(port, &byte, 1), 0);
  EXPECT_NE(errno, EAGAIN);
  close(port);
  EXPECT_TRUE(HasLine(Lines(dir / "transcript"), " ev hangup"));
}

}  // namespace
