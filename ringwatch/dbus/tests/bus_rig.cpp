// The shared rig of the D-Bus tests.
#include "ringwatch/dbus/tests/bus_rig.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

extern char** environ;

namespace hushcall::ringwatch::testing {

namespace {

std::int64_t NowMs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

constexpr const char* kPython = "/usr/bin/python3";
constexpr const char* kTestInterface = "org.hushcall.Test";
constexpr const char* kTestPath = "/org/hushcall/Test";

}  // namespace

void RecordingLog::Line(std::string_view text) {
  lines_.emplace_back(text);
  // Shown with a failing test's output.
  std::fprintf(stderr, "    log: %.*s\n", static_cast<int>(text.size()), text.data());
}

std::size_t RecordingLog::Count(std::string_view part) const {
  std::size_t count = 0;
  for (const std::string& line : lines_) {
    if (line.find(part) != std::string::npos) ++count;
  }
  return count;
}

bool RunUntil(EventLoop& loop, const std::function<bool()>& done, int timeoutMs) {
  const std::int64_t deadline = NowMs() + timeoutMs;
  while (!done()) {
    const std::int64_t left = deadline - NowMs();
    if (left <= 0) return false;
    // Short rounds: some conditions are about other processes, which do not
    // wake our loop.
    loop.RunOnce(static_cast<int>(left < 20 ? left : 20));
  }
  return true;
}

void RunFor(EventLoop& loop, int ms) {
  RunUntil(
      loop, [] { return false; }, ms);
}

Child::Child(const std::vector<std::string>& argv) {
  int in[2];
  int out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe2: " << std::strerror(errno);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const int r = ::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  in_ = in[1];
  out_ = out[0];
  if (r != 0) {
    pid_ = -1;
    ADD_FAILURE() << "cannot start " << argv[0] << ": " << std::strerror(r);
  }
}

Child::~Child() {
  End();
  if (in_ >= 0) ::close(in_);
  if (out_ >= 0) ::close(out_);
}

void Child::End() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

void Child::WriteLine(std::string_view line) {
  std::string text(line);
  text += '\n';
  ASSERT_EQ(::write(in_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

std::string Child::ReadLine(int timeoutMs) {
  const std::int64_t deadline = NowMs() + timeoutMs;
  for (;;) {
    const auto end = buffer_.find('\n');
    if (end != std::string::npos) {
      std::string line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return line;
    }
    const std::int64_t left = deadline - NowMs();
    if (left <= 0) return {};
    pollfd ready{out_, POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(left)) <= 0) continue;
    char chunk[256];
    const ssize_t n = ::read(out_, chunk, sizeof chunk);
    if (n <= 0) return {};
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

void Child::CloseInputAndWait(int timeoutMs) {
  if (in_ >= 0) {
    ::close(in_);
    in_ = -1;
  }
  const std::int64_t deadline = NowMs() + timeoutMs;
  while (pid_ > 0 && NowMs() < deadline) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool Child::Running() {
  if (pid_ <= 0) return false;
  if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
    pid_ = -1;
    return false;
  }
  return true;
}

TestConnection::TestConnection(BusKind kind) {
  sd_bus* raw = nullptr;
  const int r = kind == BusKind::kSession ? sd_bus_open_user(&raw) : sd_bus_open_system(&raw);
  if (r < 0) ADD_FAILURE() << "the test cannot connect: " << std::strerror(-r);
  bus_.reset(raw);
}

bool TestConnection::NameHasOwner(const std::string& name) {
  MessagePtr reply =
      Call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
           [&](sd_bus_message* m) { sd_bus_message_append(m, "s", name.c_str()); });
  int owned = 0;
  if (reply) sd_bus_message_read(reply.get(), "b", &owned);
  return owned != 0;
}

bool TestConnection::WaitForName(const std::string& name, bool owned, int timeoutMs) {
  const std::int64_t deadline = NowMs() + timeoutMs;
  while (NameHasOwner(name) != owned) {
    if (NowMs() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

MessagePtr TestConnection::Call(const std::string& destination, const std::string& path,
                                const std::string& interface, const std::string& member,
                                const std::function<void(sd_bus_message*)>& append) {
  sd_bus_message* call = nullptr;
  if (sd_bus_message_new_method_call(bus_.get(), &call, destination.c_str(), path.c_str(),
                                     interface.c_str(), member.c_str()) < 0) {
    ADD_FAILURE() << "cannot make a call of " << member;
    return nullptr;
  }
  MessagePtr owned(call);
  if (append) append(call);
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  const int r = sd_bus_call(bus_.get(), call, 5000000, &error, &reply);
  if (r < 0) {
    ADD_FAILURE() << member << " of " << destination
                  << " failed: " << (error.name ? error.name : "") << " "
                  << (error.message ? error.message : std::strerror(-r));
    sd_bus_error_free(&error);
    return nullptr;
  }
  return MessagePtr(reply);
}

FakePlayer::FakePlayer(TestConnection& bus, std::string name, std::string mode, double volume,
                       std::string status)
    : bus_(bus),
      busName_("org.mpris.MediaPlayer2." + name),
      child_({kPython, std::string(HC_DBUS_TESTS_DIR) + "/fake_player.py", name, mode,
              std::to_string(volume), status}) {
  EXPECT_EQ(child_.ReadLine(10000), "ready") << busName_ << " did not start";
}

FakePlayer::~FakePlayer() {
  child_.End();
  // Gone from the bus before the next test looks for players.
  bus_.WaitForName(busName_, false, 5000);
}

std::vector<FakePlayer::Record> FakePlayer::Calls() {
  std::vector<Record> records;
  MessagePtr reply = bus_.Call(busName_, kTestPath, kTestInterface, "Calls");
  if (!reply) return records;
  sd_bus_message_enter_container(reply.get(), 'a', "(ds)");
  double at = 0;
  const char* text = nullptr;
  while (sd_bus_message_read(reply.get(), "(ds)", &at, &text) > 0) {
    records.push_back({static_cast<std::int64_t>(at * 1000.0), text});
  }
  return records;
}

std::vector<FakePlayer::Record> FakePlayer::Calls(std::string_view prefix) {
  std::vector<Record> matching;
  for (Record& record : Calls()) {
    if (std::string_view(record.text).substr(0, prefix.size()) == prefix)
      matching.push_back(record);
  }
  return matching;
}

Properties FakePlayer::State() {
  MessagePtr reply = bus_.Call(busName_, kTestPath, kTestInterface, "State");
  if (!reply) return {};
  return ReadProperties(*reply);
}

double FakePlayer::Volume() { return Find<double>(State(), "Volume").value_or(-1.0); }

std::string FakePlayer::Status() {
  return Find<std::string>(State(), "PlaybackStatus").value_or("");
}

void FakePlayer::UserSetVolume(double volume, bool signal) {
  bus_.Call(busName_, kTestPath, kTestInterface, "UserSetVolume",
            [&](sd_bus_message* m) { sd_bus_message_append(m, "db", volume, signal ? 1 : 0); });
}

void FakePlayer::UserSetStatus(const std::string& status, bool signal) {
  bus_.Call(busName_, kTestPath, kTestInterface, "UserSetStatus", [&](sd_bus_message* m) {
    sd_bus_message_append(m, "sb", status.c_str(), signal ? 1 : 0);
  });
}

FakeModemManager::FakeModemManager()
    : child_({kPython, std::string(HC_DBUS_TESTS_DIR) + "/mm_fake.py"}) {}

FakeModemManager::~FakeModemManager() {
  // Its ModemManager ends with it; a SIGTERM would leave that behind.
  child_.CloseInputAndWait(10000);
}

void FakeModemManager::Do(std::string_view command) {
  child_.WriteLine(command);
  EXPECT_EQ(child_.ReadLine(15000), "ok") << "mm_fake.py: " << command;
}

}  // namespace hushcall::ringwatch::testing
