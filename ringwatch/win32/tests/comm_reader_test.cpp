// The reader thread on its own, against the modem simulator on COM5, with a
// post that the test controls.
#include "ringwatch/win32/comm_reader.h"

#include <gtest/gtest.h>

#include <atomic>

#include "ringwatch/win32/comm_device.h"
#include "ringwatch/win32/tests/test_support.h"

namespace hushcall::ringwatch {
namespace {

using testing::Modem;
using testing::PumpUntil;

// A refused post (a full message queue) used to leave "a notification is
// pending" set for good, and the plug-in deaf until the port was reopened.
TEST(CommReader, RefusedPostIsRetriedAndLaterArrivalsStillPost) {
  if (!Modem::Available()) GTEST_SKIP() << "no modem simulator on COM5";
  win32::unique_hfile device = OpenCommDevice(testing::kModemPort);
  ReceiveBuffer buffer(kReceiveQueueSize);
  std::atomic<int> posts{0};
  CommReader reader(device.get(), buffer, [&] { return ++posts > 1; });

  Modem::Command("send RING\\r\\n");
  ASSERT_TRUE(PumpUntil([&] { return posts == 2; }, 3000)) << "no retry after the refused post";
  EXPECT_EQ(buffer.TakeNotices() & kArrivalNotice, kArrivalNotice);
  EXPECT_EQ(buffer.Take(), "RING\r\n");

  Modem::Command("send RING\\r\\n");
  EXPECT_TRUE(PumpUntil([&] { return posts == 3; }, 3000));
}

}  // namespace
}  // namespace hushcall::ringwatch
