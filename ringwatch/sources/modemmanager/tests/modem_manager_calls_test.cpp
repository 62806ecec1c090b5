// ModemManager's calls against a python-dbusmock ModemManager on a private
// system bus: an incoming call's ring, answer and end, an outgoing call's,
// calls that were there first, and ModemManager absent, restarting mid-call
// and back.
#include "ringwatch/sources/modemmanager/modem_manager_calls.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ringwatch/dbus/tests/bus_rig.h"

namespace hushcall::ringwatch {
namespace {

using testing::FakeModemManager;
using testing::RecordingLog;
using testing::RunFor;
using testing::RunUntil;

constexpr const char* kModem0 = "/org/freedesktop/ModemManager1/Modem/0";
constexpr int kWaitMs = 5000;

class ModemManagerCallsTest : public ::testing::Test {
 protected:
  ModemManagerCallsTest() : bus_(loop_, BusKind::kSystem, log_, nullptr) {}

  void Watch() {
    calls_.emplace(
        bus_,
        [this](const CallReport& report) {
          EXPECT_EQ(report.source, "modemmanager");
          if (report.direction == CallDirection::kOutgoing) {
            outgoing_.push_back(report.phase);
          } else if (report.phase == CallPhase::kRinging) {
            ++rings_;
            numbers_.push_back(report.number.text);
          } else if (report.phase == CallPhase::kAnswered) {
            ++answers_;
          } else {
            ++ends_;
          }
        },
        log_);
  }
  bool FollowsModem0() {
    return RunUntil(
        loop_, [&] { return calls_->Modems().count(kModem0) != 0; }, kWaitMs);
  }
  bool WaitFor(const int& counter, int value) {
    return RunUntil(
        loop_, [&] { return counter >= value; }, kWaitMs);
  }

  EventLoop loop_;
  RecordingLog log_;
  Bus bus_;
  FakeModemManager mm_;
  int rings_ = 0;
  int answers_ = 0;
  int ends_ = 0;
  std::vector<CallPhase> outgoing_;
  std::vector<std::string> numbers_;
  std::optional<ModemManagerCalls> calls_;
};

// mm_fake.py's commands: "call C M DIRECTION STATE", "state C STATE".
// MMCallDirection: 1 incoming, 2 outgoing. MMCallState: 0 unknown,
// 2 ringing-out, 3 ringing-in, 4 active, 7 terminated.
TEST_F(ModemManagerCallsTest, EachCallIsReportedRingingAnsweredAndEndedOnce) {
  mm_.Do("start");
  mm_.Do("modem 0");
  Watch();
  ASSERT_TRUE(FollowsModem0());

  // Ringing in, answered, hung up, deleted: one ring, one end.
  mm_.Do("call 1 0 1 3");
  ASSERT_TRUE(WaitFor(rings_, 1));
  EXPECT_EQ(numbers_, std::vector<std::string>{"+15550100"});
  mm_.Do("state 1 4");
  mm_.Do("state 1 7");
  ASSERT_TRUE(WaitFor(ends_, 1));
  mm_.Do("delete 1");
  RunFor(loop_, 200);
  EXPECT_EQ(rings_, 1);
  EXPECT_EQ(answers_, 1);
  EXPECT_EQ(ends_, 1);

  // Removed while ringing: that is its end.
  mm_.Do("call 2 0 1 3");
  ASSERT_TRUE(WaitFor(rings_, 2));
  mm_.Do("delete 2");
  ASSERT_TRUE(WaitFor(ends_, 2));

  // An outgoing call: dialled, answered, ended.
  const auto outgoingReports = [&](std::size_t count) {
    return RunUntil(
        loop_, [&] { return outgoing_.size() >= count; }, kWaitMs);
  };
  mm_.Do("call 3 0 2 2");
  ASSERT_TRUE(outgoingReports(1));
  mm_.Do("state 3 4");
  ASSERT_TRUE(outgoingReports(2));
  mm_.Do("state 3 7");
  mm_.Do("delete 3");
  ASSERT_TRUE(outgoingReports(3));
  EXPECT_EQ(outgoing_,
            (std::vector<CallPhase>{CallPhase::kRinging, CallPhase::kAnswered, CallPhase::kEnded}));

  // Seen first in another state, then turning ringing-in; its modem goes.
  mm_.Do("call 4 0 1 0");
  RunFor(loop_, 200);
  EXPECT_EQ(rings_, 2);
  mm_.Do("state 4 3");
  ASSERT_TRUE(WaitFor(rings_, 3));
  mm_.Do("remove-modem 0");
  ASSERT_TRUE(WaitFor(ends_, 3));
  RunFor(loop_, 200);
  EXPECT_EQ(rings_, 3);
  EXPECT_EQ(ends_, 3);
  EXPECT_TRUE(calls_->Modems().empty());
}

TEST_F(ModemManagerCallsTest, ANumberThatComesAfterTheRingIsReportedWithTheCall) {
  mm_.Do("start");
  mm_.Do("modem 0");
  Watch();
  ASSERT_TRUE(FollowsModem0());
  mm_.Do("call 1 0 1 3 -");
  ASSERT_TRUE(WaitFor(rings_, 1));
  mm_.Do("number 1 +15550199");
  ASSERT_TRUE(WaitFor(rings_, 2));
  EXPECT_EQ(numbers_, (std::vector<std::string>{"", "+15550199"}));
  mm_.Do("state 1 7");
  ASSERT_TRUE(WaitFor(ends_, 1));
  mm_.Do("number 1 +15550100");
  RunFor(loop_, 200);
  EXPECT_EQ(rings_, 2) << "an ended call says no more";
}

TEST_F(ModemManagerCallsTest, ACallRingingBeforeTheWatchStartedIsFollowed) {
  mm_.Do("start");
  mm_.Do("modem 0");
  mm_.Do("call 1 0 1 3");
  Watch();
  ASSERT_TRUE(WaitFor(rings_, 1));
  mm_.Do("state 1 7");
  ASSERT_TRUE(WaitFor(ends_, 1));
  EXPECT_EQ(rings_, 1);
}

TEST_F(ModemManagerCallsTest, WaitsQuietlyForModemManagerAndPicksItUpAgainAfterARestart) {
  Watch();
  ASSERT_TRUE(RunUntil(
      loop_, [&] { return log_.Has("ModemManager is not running"); }, kWaitMs));
  const std::uint64_t wakeups = bus_.wakeups();
  RunFor(loop_, 500);
  EXPECT_EQ(bus_.wakeups(), wakeups) << "waiting for ModemManager woke the loop";
  EXPECT_FALSE(calls_->running());

  mm_.Do("start");
  mm_.Do("modem 0");
  mm_.Do("call 1 0 1 3");
  ASSERT_TRUE(WaitFor(rings_, 1));
  EXPECT_TRUE(calls_->running());

  // ModemManager restarts mid-call: that call has ended.
  mm_.Do("stop");
  ASSERT_TRUE(WaitFor(ends_, 1));
  EXPECT_FALSE(calls_->running());
  mm_.Do("start");
  mm_.Do("modem 0");
  ASSERT_TRUE(FollowsModem0());
  mm_.Do("call 2 0 1 3");
  ASSERT_TRUE(WaitFor(rings_, 2));
  mm_.Do("state 2 7");
  ASSERT_TRUE(WaitFor(ends_, 2));
  RunFor(loop_, 200);
  EXPECT_EQ(rings_, 2);
  EXPECT_EQ(ends_, 2);
  EXPECT_EQ(log_.Count("ModemManager is not running"), 1u);
}

}  // namespace
}  // namespace hushcall::ringwatch
