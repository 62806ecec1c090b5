// The modem side hangs up (the simulator closes the line) while the port is
// open. Run against a simulator of its own: the line is gone afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include "common/status.h"
#include "ringwatch/win32/comm_control.h"
#include "ringwatch/win32/tests/test_support.h"

namespace hushcall::ringwatch {
namespace {

using testing::Modem;

// Kernel and user time of this process, in milliseconds.
std::int64_t CpuMs() {
  FILETIME created, exited, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](FILETIME t) {
    return static_cast<std::int64_t>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000);
  };
  return ms(kernel) + ms(user);
}

TEST(CommHangup, LineClosedByTheModemCrashesNothingAndClosesPromptly) {
  if (!Modem::Available()) GTEST_SKIP() << "no modem simulator on COM5";
  int events = 0;
  auto port = std::make_unique<CommControl>();
  port->SetCommPort(testing::kModemPort);
  port->SetPortOpen(true);
  port->SetOnComm([&] { ++events; });
  port->SetRThreshold(5);

  Modem::Command("hangup");
  ::Sleep(500);
  // The reader backs off rather than spinning on the failed line.
  const std::int64_t cpuBefore = CpuMs();
  testing::PumpFor(1000);
  EXPECT_LT(CpuMs() - cpuBefore, 500) << "a dead line must not keep a core busy";

  // Input may fail or come back empty; a write to a dead line must fail,
  // so that the modem initialisation asks the user at once.
  try {
    EXPECT_EQ(port->Input(), "");
  } catch (const Failure&) {
  }
  bool writeFailed = false;
  try {
    port->SetOutput("ATZ\r");
  } catch (const Failure&) {
    writeFailed = true;
  }
  EXPECT_TRUE(writeFailed);
  EXPECT_EQ(events, 0);

  const std::int64_t start = testing::NowMs();
  port->SetPortOpen(false);
  port.reset();
  EXPECT_LT(testing::NowMs() - start, 3000) << "closing must not hang";
}

}  // namespace
}  // namespace hushcall::ringwatch
