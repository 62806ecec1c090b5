// The modem side hangs up (the simulator closes the line) while the port is
// open. Each case runs against a simulator of its own (run_tests.sh): the
// line is gone afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include "common/status.h"
#include "ringwatch/win32/comm_control.h"
#include "ringwatch/win32/tests/test_support.h"

namespace hushcall::ringwatch {
namespace {

using testing::Modem;
using testing::PumpFor;
using testing::PumpUntil;

// Kernel and user time of this process, in milliseconds.
std::int64_t CpuMs() {
  FILETIME created, exited, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](FILETIME t) {
    return static_cast<std::int64_t>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000);
  };
  return ms(kernel) + ms(user);
}

// What each OnComm found: the status Input failed with, or kOk.
class LossRecorder {
 public:
  explicit LossRecorder(CommControl& port) {
    port.SetOnComm([this, &port] {
      try {
        port.Input();
        statuses_.push_back(kOk);
      } catch (const Failure& failure) {
        statuses_.push_back(failure.status());
      }
    });
  }
  const std::vector<Status>& statuses() const { return statuses_; }

 private:
  std::vector<Status> statuses_;
};

std::unique_ptr<CommControl> OpenModemPort() {
  auto port = std::make_unique<CommControl>();
  port->SetCommPort(testing::kModemPort);
  port->SetPortOpen(true);
  return port;
}

// The user-interface thread must learn of the loss, once, through OnComm
// with no characters waiting; the core then closes the port.
TEST(CommHangup, LineLostWhileWatchedRaisesOnCommOnceAndInputFails) {
  if (!Modem::Available()) GTEST_SKIP() << "no modem simulator on COM5";
  auto port = OpenModemPort();
  LossRecorder recorder(*port);
  port->SetRThreshold(5);

  Modem::Command("hangup");
  ASSERT_TRUE(PumpUntil([&] { return !recorder.statuses().empty(); }, 3000)) << "the loss never reached OnComm";
  EXPECT_NE(recorder.statuses().front(), kOk) << "Input must fail with the line's error";

  // The reader now only waits for the close: neither spinning nor raising.
  const std::int64_t cpuBefore = CpuMs();
  PumpFor(1000);
  EXPECT_LT(CpuMs() - cpuBefore, 300) << "a dead line must not keep a core busy";
  EXPECT_EQ(recorder.statuses().size(), 1u);

  // A write to the dead line fails too, so that a modem initialisation asks at once.
  EXPECT_THROW(port->SetOutput("ATZ\r"), Failure);

  const std::int64_t start = testing::NowMs();
  port->SetPortOpen(false);
  port.reset();
  EXPECT_LT(testing::NowMs() - start, 3000) << "closing must not hang";
}

// Lost while events were off (the modem initialisation polls with threshold
// 0): raised as soon as events come on, or the line stays lost unnoticed.
TEST(CommHangup, LineLostWhileEventsAreOffIsRaisedWhenTheyComeOn) {
  if (!Modem::Available()) GTEST_SKIP() << "no modem simulator on COM5";
  auto port = OpenModemPort();
  LossRecorder recorder(*port);

  Modem::Command("hangup");
  PumpFor(500);
  EXPECT_TRUE(recorder.statuses().empty()) << "threshold 0 raises nothing";
  port->SetRThreshold(5);
  ASSERT_TRUE(PumpUntil([&] { return !recorder.statuses().empty(); }, 3000));
  EXPECT_NE(recorder.statuses().front(), kOk);
  PumpFor(300);
  EXPECT_EQ(recorder.statuses().size(), 1u);
}

}  // namespace
}  // namespace hushcall::ringwatch
