// The reader thread on its own, against the modem simulator on COM5, with a
// post that the test controls.
#include "ringwatch/win32/comm_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

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
  CommReader reader(std::make_unique<DeviceIo>(device.get()), buffer, [&] { return ++posts > 1; });

  Modem::Command("send RING\\r\\n");
  ASSERT_TRUE(PumpUntil([&] { return posts == 2; }, 3000)) << "no retry after the refused post";
  EXPECT_EQ(buffer.TakeNotices() & kArrivalNotice, kArrivalNotice);
  EXPECT_EQ(buffer.Take(), "RING\r\n");

  Modem::Command("send RING\\r\\n");
  EXPECT_TRUE(PumpUntil([&] { return posts == 3; }, 3000));
}

// A driver as Windows' may be: a read takes what waits and returns at once,
// and the characters that arrive just as the wait for EV_RXCHAR is armed
// raise no event, so the wait would last until the next character.
class EventLosingDriver final : public CommPortIo {
 public:
  BOOL Read(void* into, DWORD size, OVERLAPPED*) override {
    last_ = std::min<DWORD>(size, static_cast<DWORD>(queue_.size()));
    std::copy_n(queue_.begin(), last_, static_cast<char*>(into));
    queue_.erase(0, last_);
    return TRUE;
  }
  BOOL WaitEvent(DWORD*, OVERLAPPED*) override {
    if (!arrived_) queue_ = "RING\r\n";
    arrived_ = true;
    ::SetLastError(ERROR_IO_PENDING);
    return FALSE;
  }
  BOOL Result(OVERLAPPED*, DWORD* transferred, BOOL wait) override {
    *transferred = wait ? 0 : last_;
    if (!wait) return TRUE;
    ::SetLastError(ERROR_OPERATION_ABORTED);  // the cancelled wait
    return FALSE;
  }
  void Cancel() override {}
  DWORD Queued() override { return static_cast<DWORD>(queue_.size()); }

 private:
  bool arrived_ = false;
  std::string queue_;
  DWORD last_ = 0;
};

TEST(CommReader, CharactersQueuedAsTheWaitIsArmedAreReadWithoutAnEvent) {
  ReceiveBuffer buffer(kReceiveQueueSize);
  std::atomic<int> posts{0};
  CommReader reader(std::make_unique<EventLosingDriver>(), buffer, [&] { return ++posts > 0; });
  ASSERT_TRUE(PumpUntil([&] { return posts > 0; }, 3000)) << "the report waits for an event that never comes";
  EXPECT_EQ(buffer.Take(), "RING\r\n");
}

}  // namespace
}  // namespace hushcall::ringwatch
