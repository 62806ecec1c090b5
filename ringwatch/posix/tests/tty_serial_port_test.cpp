// TtySerialPort on a real pseudo-terminal: the port's naming, its exclusive
// open, and the OnComm contract (threshold 0 watches nothing, any arrival
// is raised, a lost line is raised once and then fails the input).
#include "ringwatch/posix/tty_serial_port.h"

#include <fcntl.h>
#include <sys/file.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/posix/unique_fd.h"
#include "common/status.h"
#include "ringwatch/posix/errno_status.h"
#include "ringwatch/posix/event_loop.h"
#include "ringwatch/posix/tests/pty_modem.h"

namespace hushcall::ringwatch {
namespace {

using testing::LoopReady;
using testing::PointLink;
using testing::PtyModem;
using testing::PumpFor;
using testing::PumpUntil;
using testing::TempDir;

constexpr int kBoundMs = 3000;

// The errno a failing call carries; 0 when it does not fail.
template <class Call>
int ErrnoOf(Call&& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return ErrnoFromStatus(failure.status());
  }
  return 0;
}

TEST(TtySerialPort, PortNumbersNameTtySUnlessADeviceIsGiven) {
  EventLoop loop;
  TtySerialPort numbered(loop, "");
  EXPECT_EQ(numbered.Name(), "/dev/ttyS0");
  numbered.SetCommPort(3);
  EXPECT_EQ(numbered.Name(), "/dev/ttyS2");
  EXPECT_THROW(numbered.SetCommPort(0), Failure);
  EXPECT_EQ(numbered.Name(), "/dev/ttyS2");

  TtySerialPort named(loop, "/dev/ttyUSB0");
  named.SetCommPort(7);
  EXPECT_EQ(named.Name(), "/dev/ttyUSB0");
}

TEST(TtySerialPort, OpensTheDeviceForItselfAlone) {
  EventLoop loop;
  PtyModem modem(loop);
  TempDir dir;
  const std::string link = dir.path() + "/modem";
  PointLink(link, modem.path());

  TtySerialPort first(loop, modem.path());
  first.SetPortOpen(true);
  TtySerialPort second(loop, modem.path());
  EXPECT_EQ(ErrnoOf([&] { second.SetPortOpen(true); }), EBUSY);
  EXPECT_FALSE(second.PortOpen());
  // The device, not the path, is what is held.
  TtySerialPort viaLink(loop, link);
  EXPECT_EQ(ErrnoOf([&] { viaLink.SetPortOpen(true); }), EBUSY);

  // Closing gives the device up, exclusivity and lock alike.
  first.SetPortOpen(false);
  second.SetPortOpen(true);
  second.SetPortOpen(false);

  // Another modem program's lock keeps the port out.
  posix::UniqueFd other(::open(modem.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  ASSERT_TRUE(other);
  ASSERT_EQ(::flock(other.get(), LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(ErrnoOf([&] { second.SetPortOpen(true); }), EBUSY);
  EXPECT_FALSE(second.PortOpen());
  other.reset();
  second.SetPortOpen(true);
  EXPECT_TRUE(second.PortOpen());
}

TEST(TtySerialPort, RaisesEveryArrivalAndALostLineOnce) {
  EventLoop loop;
  auto modem = std::make_unique<PtyModem>(loop);
  TtySerialPort port(loop, modem->path());
  int events = 0;
  int failures = 0;
  std::string got;
  port.SetOnComm([&] {
    ++events;
    try {
      got += port.Input();
    } catch (const Failure&) {
      ++failures;
    }
  });
  port.SetPortOpen(true);
  port.SetOutput("ATZ\r");
  ASSERT_TRUE(PumpUntil(loop, [&] { return modem->resets() == 1; }, kBoundMs));

  // Threshold 0: the answer waits in the tty, and nothing is raised.
  port.WaitForInputOrMessage(kBoundMs);
  EXPECT_FALSE(LoopReady(loop, 0));
  loop.RunOnce(0);
  EXPECT_EQ(events, 0);

  // Four characters, below the threshold of 5, are raised all the same.
  port.SetRThreshold(5);
  ASSERT_TRUE(PumpUntil(loop, [&] { return events == 1; }, kBoundMs));
  EXPECT_EQ(got, "OK\r\n");

  modem->HangUp();
  ASSERT_TRUE(PumpUntil(loop, [&] { return failures == 1; }, kBoundMs));
  EXPECT_EQ(events, 2);
  PumpFor(loop, 200);
  EXPECT_EQ(events, 2) << "the loss is raised once";
  EXPECT_FALSE(LoopReady(loop, 0)) << "nor does the hung-up tty wake the loop";
  EXPECT_TRUE(port.PortOpen()) << "the port stays open until closed";
  EXPECT_THROW(port.Input(), Failure);
  EXPECT_THROW(port.SetOutput("ATZ\r"), Failure);
  port.SetPortOpen(false);
  EXPECT_FALSE(port.PortOpen());
}

}  // namespace
}  // namespace hushcall::ringwatch
