// What the D-Bus tests share: a log that keeps its lines, running the loop
// until something holds, child processes for the Python fakes, a blocking
// connection of the test's own to steer and read them, and the fakes
// themselves (MPRIS players, ModemManager). The tests run on buses of their
// own (run_with_buses.sh).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/dbus/bus.h"
#include "ringwatch/dbus/bus_message.h"
#include "ringwatch/posix/event_loop.h"
#include "ringwatch/posix/log.h"

namespace hushcall::ringwatch::testing {

class RecordingLog final : public Log {
 public:
  void Line(std::string_view text) override;
  // How many lines hold `part`.
  std::size_t Count(std::string_view part) const;
  bool Has(std::string_view part) const { return Count(part) > 0; }
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

// Runs `loop` until `done` holds, at most `timeoutMs`; whether it held.
bool RunUntil(EventLoop& loop, const std::function<bool()>& done, int timeoutMs);
// Runs `loop` for `ms`, whatever happens.
void RunFor(EventLoop& loop, int ms);

// A child process with its stdin and stdout on pipes (stderr is the
// test's). Destroying it ends it (SIGTERM) and reaps it.
class Child {
 public:
  explicit Child(const std::vector<std::string>& argv);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  void WriteLine(std::string_view line);
  // Its next line of output, without the newline; empty after `timeoutMs`
  // or at its end.
  std::string ReadLine(int timeoutMs);
  // Closes its input and waits up to `timeoutMs` for it to end by itself.
  void CloseInputAndWait(int timeoutMs);
  // Ends it (SIGTERM) and reaps it.
  void End();
  bool Running();

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string buffer_;
};

// A blocking connection of the test's own, to steer and read the fakes.
class TestConnection {
 public:
  explicit TestConnection(BusKind kind);
  sd_bus* get() const { return bus_.get(); }
  bool NameHasOwner(const std::string& name);
  // Waits until `name` is owned (or not); false when it never came to be.
  bool WaitForName(const std::string& name, bool owned, int timeoutMs);
  // Calls and waits for the reply; fails the test on an error reply.
  // `append` adds the arguments.
  MessagePtr Call(const std::string& destination, const std::string& path,
                  const std::string& interface, const std::string& member,
                  const std::function<void(sd_bus_message*)>& append = nullptr);

 private:
  BusPtr bus_;
};

// One fake_player.py on the session bus.
class FakePlayer {
 public:
  struct Record {
    std::int64_t atMs;  // CLOCK_MONOTONIC, as EventLoop::NowMs
    std::string text;   // "GetAll", "Set Volume 0.3", "Pause", ...
  };

  // `name` is the part after org.mpris.MediaPlayer2.; see fake_player.py
  // for the modes.
  FakePlayer(TestConnection& bus, std::string name, std::string mode, double volume = 0.8,
             std::string status = "Playing");
  ~FakePlayer();
  const std::string& busName() const { return busName_; }

  std::vector<Record> Calls();
  // The calls whose text begins with `prefix`.
  std::vector<Record> Calls(std::string_view prefix);
  double Volume();
  std::string Status();
  void UserSetVolume(double volume, bool signal);
  void UserSetStatus(const std::string& status, bool signal);
  bool Running() { return child_.Running(); }

 private:
  Properties State();
  TestConnection& bus_;
  std::string busName_;
  Child child_;
};

// mm_fake.py: ModemManager on the private system bus.
class FakeModemManager {
 public:
  FakeModemManager();
  ~FakeModemManager();
  // Runs one command of mm_fake.py and fails the test unless it says "ok".
  void Do(std::string_view command);

 private:
  Child child_;
};

}  // namespace hushcall::ringwatch::testing
