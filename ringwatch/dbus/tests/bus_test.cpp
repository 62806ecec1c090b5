// The connection on the event loop: which bus each kind reaches, an idle
// connection that sleeps, a deadline kept by the timer alone, and a bus
// that goes away.
#include "ringwatch/dbus/bus.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "common/status.h"
#include "ringwatch/dbus/bus_message.h"
#include "ringwatch/dbus/tests/bus_rig.h"

namespace hushcall::ringwatch {
namespace {

using testing::Child;
using testing::FakePlayer;
using testing::RecordingLog;
using testing::RunFor;
using testing::RunUntil;
using testing::TestConnection;

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

MessagePtr GetIdCall(Bus& bus) {
  return bus.NewMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "GetId");
}

// The bus daemon's id, asked asynchronously on `bus`.
std::string BusId(EventLoop& loop, Bus& bus) {
  std::string id;
  Slot call = bus.CallAsync(GetIdCall(bus), 2000000, [&](sd_bus_message& reply) {
    id = sd_bus_message_is_method_error(&reply, nullptr) ? "error" : ReadString(reply);
  });
  RunUntil(
      loop, [&] { return !id.empty(); }, 5000);
  return id;
}

std::string BusId(TestConnection& test) {
  MessagePtr reply =
      test.Call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId");
  return reply ? ReadString(*reply) : "";
}

TEST(DbusBus, EachKindReachesTheBusItsAddressNamesAndNoBusThereFails) {
  EventLoop loop;
  RecordingLog log;
  Bus session(loop, BusKind::kSession, log, nullptr);
  Bus system(loop, BusKind::kSystem, log, nullptr);
  TestConnection testSession(BusKind::kSession);
  TestConnection testSystem(BusKind::kSystem);

  // The tests' "system bus" is a second private daemon
  // (DBUS_SYSTEM_BUS_ADDRESS), not the session's.
  EXPECT_EQ(BusId(loop, session), BusId(testSession));
  EXPECT_EQ(BusId(loop, system), BusId(testSystem));
  EXPECT_NE(BusId(testSession), BusId(testSystem));

  ScopedEnv nowhere("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/hushcall-test-bus");
  EXPECT_THROW(Bus(loop, BusKind::kSession, log, nullptr), Failure);
  EXPECT_TRUE(log.Has("cannot connect to the session bus"));
}

TEST(DbusBus, AnIdleConnectionSleepsAndACallEndsOnItsDeadlineByTheTimerAlone) {
  EventLoop loop;
  RecordingLog log;
  Bus bus(loop, BusKind::kSession, log, nullptr);
  TestConnection test(BusKind::kSession);
  FakePlayer hung(test, "DbusBusHung", "hang");
  ASSERT_FALSE(BusId(loop, bus).empty());

  const std::uint64_t wakeups = bus.wakeups();
  RunFor(loop, 1000);
  EXPECT_EQ(bus.wakeups(), wakeups) << "an idle connection woke the loop";

  // Nothing arrives on the socket for a call nobody answers: only the
  // timerfd armed from sd_bus_get_timeout ends it.
  auto call = bus.NewMethodCall(hung.busName(), "/org/mpris/MediaPlayer2",
                                "org.freedesktop.DBus.Properties", "GetAll");
  sd_bus_message_append(call.get(), "s", "org.mpris.MediaPlayer2.Player");
  std::string error;
  std::int64_t endedAt = 0;
  const std::int64_t sentAt = loop.NowMs();
  Slot pending = bus.CallAsync(std::move(call), 300000, [&](sd_bus_message& reply) {
    error = ErrorName(reply);
    endedAt = loop.NowMs();
  });
  ASSERT_TRUE(RunUntil(
      loop, [&] { return endedAt != 0; }, 5000));
  EXPECT_EQ(error, "org.freedesktop.DBus.Error.NoReply");
  EXPECT_GE(endedAt - sentAt, 290);
  EXPECT_LT(endedAt - sentAt, 1000);
  EXPECT_EQ(hung.Calls("GetAll").size(), 1u);
}

TEST(DbusBus, TheBusGoingAwayCallsOnLostOnceAndLeavesTheLoopQuiet) {
  const char* config = ::getenv("HC_TEST_BUS_CONFIG");
  ASSERT_NE(config, nullptr) << "run under run_with_buses.sh";
  Child daemon({"/usr/bin/dbus-daemon", std::string("--config-file=") + config, "--nofork",
                "--print-address=1"});
  const std::string address = daemon.ReadLine(10000);
  ASSERT_FALSE(address.empty());

  EventLoop loop;
  RecordingLog log;
  int lost = 0;
  std::optional<Bus> bus;
  {
    ScopedEnv own("DBUS_SESSION_BUS_ADDRESS", address);
    bus.emplace(loop, BusKind::kSession, log, [&] {
      ++lost;
      loop.Quit();
    });
  }
  ASSERT_FALSE(BusId(loop, *bus).empty());

  daemon.End();
  ASSERT_TRUE(RunUntil(
      loop, [&] { return lost != 0; }, 5000));
  EXPECT_TRUE(bus->lost());
  EXPECT_TRUE(log.Has("lost the session bus"));

  const std::uint64_t wakeups = bus->wakeups();
  RunFor(loop, 300);
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(bus->wakeups(), wakeups) << "a lost connection kept waking the loop";
}

}  // namespace
}  // namespace hushcall::ringwatch
