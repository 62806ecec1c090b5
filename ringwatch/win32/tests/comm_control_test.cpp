// The serial control against the modem simulator on COM5 (run_tests.sh maps
// it); cases that need no line run everywhere.
#include "ringwatch/win32/comm_control.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <vector>

#include "common/status.h"
#include "ringwatch/win32/tests/test_support.h"

namespace hushcall::ringwatch {
namespace {

using testing::kModemPort;
using testing::kUnmappedPort;
using testing::Modem;
using testing::PumpFor;
using testing::PumpUntil;

Status FailureOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure.status();
  }
  return kOk;
}

// Reads until `marker` is among the characters taken or 3 s pass.
std::string InputUntil(CommControl& port, const std::string& marker) {
  std::string text;
  PumpUntil(
      [&] {
        port.WaitForInputOrMessage(50);
        text += port.Input();
        return text.find(marker) != std::string::npos;
      },
      3000);
  return text;
}

class CommControlOnModem : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Modem::Available()) GTEST_SKIP() << "no modem simulator on COM5";
    port_ = std::make_unique<CommControl>();
    port_->SetCommPort(kModemPort);
    port_->SetPortOpen(true);
  }

  std::unique_ptr<CommControl> port_;
};

struct RefusedPort {
  std::int16_t number;
  const char* why;
};

class RefusedPortNumbers : public ::testing::TestWithParam<RefusedPort> {};

TEST_P(RefusedPortNumbers, FailAtOnceWithInvalidArgument) {
  CommControl port;
  EXPECT_EQ(FailureOf([&] { port.SetCommPort(GetParam().number); }), kInvalidArg) << GetParam().why;
  EXPECT_FALSE(port.PortOpen());
}

INSTANTIATE_TEST_SUITE_P(CommControl, RefusedPortNumbers,
                         ::testing::Values(RefusedPort{0, "zero names no port"},
                                           RefusedPort{-1, "negative numbers name no port"},
                                           RefusedPort{256, "beyond the last device name"}));

TEST(CommControl, MissingPortFailsToOpenWithFileNotFound) {
  CommControl port;
  port.SetCommPort(kUnmappedPort);
  EXPECT_EQ(FailureOf([&] { port.SetPortOpen(true); }), StatusFromWin32(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(port.PortOpen());
}

TEST(CommControl, ClosedPortRefusesOutputAndInput) {
  CommControl port;
  EXPECT_NE(FailureOf([&] { port.SetOutput("ATZ\r"); }), kOk);
  EXPECT_NE(FailureOf([&] { port.Input(); }), kOk);
}

TEST(CommControl, ClosingAClosedPortDoesNothing) {
  CommControl port;
  port.SetPortOpen(false);
  EXPECT_FALSE(port.PortOpen());
}

TEST(CommControl, NegativeThresholdIsRefused) {
  CommControl port;
  EXPECT_EQ(FailureOf([&] { port.SetRThreshold(-1); }), kInvalidArg);
}

TEST_F(CommControlOnModem, OpensAndClosesCom5) {
  EXPECT_TRUE(port_->PortOpen());
  port_->SetPortOpen(false);
  EXPECT_FALSE(port_->PortOpen());
  // Opening again must work: the first session left nothing behind.
  port_->SetPortOpen(true);
  EXPECT_TRUE(port_->PortOpen());
}

TEST_F(CommControlOnModem, OpenPortRefusesASecondOpenAndAnotherNumber) {
  EXPECT_NE(FailureOf([&] { port_->SetPortOpen(true); }), kOk);
  EXPECT_NE(FailureOf([&] { port_->SetCommPort(kModemPort); }), kOk);
  EXPECT_TRUE(port_->PortOpen());
}

TEST_F(CommControlOnModem, OutputReachesTheModem) {
  port_->SetOutput("ATZ\r");
  EXPECT_TRUE(Modem::WaitUntilReceived("ATZ\\r", 3000)) << Modem::Received();
  // Take the reply too, so that it can't arrive in the next case's session.
  InputUntil(*port_, "OK\r\n");
}

TEST_F(CommControlOnModem, ModemReplyArrivesThroughInputAndIsRemoved) {
  port_->SetOutput("ATZ\r");
  EXPECT_NE(InputUntil(*port_, "OK\r\n").find("OK\r\n"), std::string::npos);
  PumpFor(100);
  EXPECT_EQ(port_->Input(), "");
}

TEST_F(CommControlOnModem, InputTakesCharactersInArrivalOrder) {
  Modem::Command("send one\\r\\n");
  Modem::Command("send two\\r\\n");
  EXPECT_EQ(InputUntil(*port_, "two\r\n"), "one\r\ntwo\r\n");
}

// An adapter's latency timer can cut CR LF "RING" CR LF as 5 + 3: the last
// piece is below the threshold, and must not wait for the next ring's bytes.
TEST_F(CommControlOnModem, ReportSplitBelowTheThresholdRaisesBothPiecesOnTheUiThread) {
  std::vector<std::string> taken;
  std::vector<DWORD> threads;
  port_->SetOnComm([&] {
    threads.push_back(::GetCurrentThreadId());
    taken.push_back(port_->Input());
  });
  port_->SetRThreshold(5);

  Modem::Command("send \\r\\nRIN");
  ASSERT_TRUE(PumpUntil([&] { return taken.size() == 1; }, 3000));
  Modem::Command("send G\\r\\n");
  ASSERT_TRUE(PumpUntil([&] { return taken.size() == 2; }, 3000)) << "the tail was held back";
  EXPECT_EQ(taken, (std::vector<std::string>{"\r\nRIN", "G\r\n"}));
  EXPECT_EQ(threads, (std::vector<DWORD>(2, ::GetCurrentThreadId())));
}

TEST_F(CommControlOnModem, UnreadCharactersRaiseOnCommAgainWhenMoreArrive) {
  int events = 0;
  port_->SetOnComm([&] { ++events; });
  port_->SetRThreshold(5);
  Modem::Command("send RING\\r\\n");
  ASSERT_TRUE(PumpUntil([&] { return events == 1; }, 3000));
  PumpFor(200);
  EXPECT_EQ(events, 1) << "no new characters, no new event";
  Modem::Command("send x");
  EXPECT_TRUE(PumpUntil([&] { return events == 2; }, 3000));
}

TEST_F(CommControlOnModem, ZeroThresholdRaisesNothing) {
  int events = 0;
  port_->SetOnComm([&] { ++events; });
  port_->SetRThreshold(0);
  Modem::Command("send RING\\r\\n");
  PumpFor(300);
  EXPECT_EQ(events, 0);
  EXPECT_EQ(port_->Input(), "RING\r\n");
}

TEST_F(CommControlOnModem, ClosedPortRaisesNothingForCharactersAlreadyNotified) {
  int events = 0;
  port_->SetOnComm([&] { ++events; });
  port_->SetRThreshold(5);
  Modem::Command("send RING\\r\\n");
  ::Sleep(300);  // arrived and notified, but not dispatched
  port_->SetPortOpen(false);
  PumpFor(200);
  EXPECT_EQ(events, 0);
}

TEST_F(CommControlOnModem, ReopeningDropsCharactersOfTheEarlierSession) {
  Modem::Command("send stale");
  ::Sleep(300);
  port_->SetPortOpen(false);
  port_->SetPortOpen(true);
  PumpFor(200);
  EXPECT_EQ(port_->Input(), "");
}

TEST_F(CommControlOnModem, ControlDestroyedInsideItsOwnOnCommIsSafe) {
  int events = 0;
  port_->SetOnComm([&] {
    ++events;
    port_.reset();  // as when the popup's nested Quit unloads the dialog
  });
  port_->SetRThreshold(5);
  Modem::Command("send RING\\r\\n");
  ASSERT_TRUE(PumpUntil([&] { return events == 1; }, 3000));
  EXPECT_EQ(port_, nullptr);
  Modem::Command("send RING\\r\\n");
  PumpFor(200);
  EXPECT_EQ(events, 1);
}

TEST_F(CommControlOnModem, NotificationArrivingAfterDestructionDoesNothing) {
  int events = 0;
  port_->SetOnComm([&] { ++events; });
  port_->SetRThreshold(5);
  Modem::Command("send RING\\r\\n");
  ::Sleep(300);  // posted, not yet dispatched
  port_.reset();
  PumpFor(200);
  EXPECT_EQ(events, 0);
}

TEST_F(CommControlOnModem, FailureThrownByOnCommIsDropped) {
  int events = 0;
  port_->SetOnComm([&] {
    ++events;
    Fail(kOverflow);
  });
  port_->SetRThreshold(5);
  Modem::Command("send RING\\r\\n");
  ASSERT_TRUE(PumpUntil([&] { return events == 1; }, 3000));
  // The control keeps working after its handler failed.
  Modem::Command("send RING\\r\\n");
  EXPECT_TRUE(PumpUntil([&] { return events == 2; }, 3000));
}

TEST_F(CommControlOnModem, ClosingWhileRingsArriveNeverHangs) {
  int events = 0;
  port_->SetOnComm([&] { ++events; });
  port_->SetRThreshold(5);
  Modem::Command("ring 200 5");
  // Each close cancels a read that may be pending, completing or just
  // completed; all of them must return.
  for (int i = 0; i < 40; ++i) {
    PumpFor(5);
    const std::int64_t start = testing::NowMs();
    port_->SetPortOpen(false);
    EXPECT_LT(testing::NowMs() - start, 2000) << "close " << i;
    port_->SetPortOpen(true);
    port_->SetRThreshold(5);
  }
  EXPECT_GT(events, 0);
  port_.reset();
  PumpFor(1200);  // let the simulator's rings run out before the next case
}

TEST_F(CommControlOnModem, WaitForInputReturnsWhenCharactersArrive) {
  Modem::Command("send OK\\r\\n");
  const std::int64_t start = testing::NowMs();
  port_->WaitForInputOrMessage(5000);
  // Generous: this only shows that the wait ended on the arrival, not on its bound.
  EXPECT_LT(testing::NowMs() - start, 4000);
}

}  // namespace
}  // namespace hushcall::ringwatch
