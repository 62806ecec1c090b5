// The reader thread on its own, against the modem simulator on COM5, with a
// post that the test controls.
#include "ringwatch/win32/comm_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

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

// A driver whose reads return at once with what the test has fed, and whose
// wait for a character ends when the test feeds one or hangs up the line.
class FedDriver final : public CommPortIo {
 public:
  void Feed(std::string_view text) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_ += text;
    EndWait();
  }
  void HangUp() {
    std::lock_guard<std::mutex> lock(mutex_);
    hungUp_ = true;
    EndWait();
  }

  BOOL Read(void* into, DWORD size, OVERLAPPED* overlapped) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ::ResetEvent(overlapped->hEvent);
    if (hungUp_) return Refuse(ERROR_BROKEN_PIPE);
    last_ = std::min<DWORD>(size, static_cast<DWORD>(queue_.size()));
    std::copy_n(queue_.begin(), last_, static_cast<char*>(into));
    queue_.erase(0, last_);
    return TRUE;
  }
  BOOL WaitEvent(DWORD* events, OVERLAPPED* overlapped) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ::ResetEvent(overlapped->hEvent);
    last_ = 0;
    if (!queue_.empty() || hungUp_) {
      *events = EV_RXCHAR;
      return TRUE;
    }
    events_ = events;
    waitDone_ = overlapped->hEvent;
    return Refuse(ERROR_IO_PENDING);
  }
  BOOL Result(OVERLAPPED*, DWORD* transferred, BOOL) override {
    std::lock_guard<std::mutex> lock(mutex_);
    *transferred = last_;
    if (!cancelled_) return TRUE;
    cancelled_ = false;
    return Refuse(ERROR_OPERATION_ABORTED);
  }
  void Cancel() override {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = waitDone_ != nullptr;
    if (waitDone_) ::SetEvent(std::exchange(waitDone_, nullptr));
  }
  DWORD Queued() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<DWORD>(queue_.size());
  }

 private:
  static BOOL Refuse(DWORD error) {
    ::SetLastError(error);
    return FALSE;
  }
  void EndWait() {
    if (!waitDone_) return;
    *events_ = EV_RXCHAR;
    ::SetEvent(std::exchange(waitDone_, nullptr));
  }

  std::mutex mutex_;
  std::string queue_;
  bool hungUp_ = false;
  bool cancelled_ = false;
  DWORD last_ = 0;
  DWORD* events_ = nullptr;
  HANDLE waitDone_ = nullptr;
};

// A message box's loop drops the posted message it has just taken when the
// box was answered in the same turn (tests/wine/probes/answered_box_drops_post.cpp).
// That notification never arrived, no other was posted until one did, and
// the plug-in heard neither the next ring nor the hang-up, for good.
TEST(CommReader, NotificationsThatNeverArriveArePostedAgain) {
  ReceiveBuffer buffer(kReceiveQueueSize);
  auto driver = std::make_unique<FedDriver>();
  FedDriver& line = *driver;
  std::atomic<int> posts{0};
  CommReader reader(std::move(driver), buffer, [&] { return ++posts > 0; });

  line.Feed("RING\r\n");
  ASSERT_TRUE(PumpUntil([&] { return posts == 1; }, 3000));
  // That post is swallowed: nobody takes the notices.
  line.Feed("RING\r\n");
  ASSERT_TRUE(PumpUntil([&] { return posts >= 2 && buffer.Size() == 12; }, 5000)) << "the next ring is never told";
  EXPECT_EQ(buffer.TakeNotices() & kArrivalNotice, kArrivalNotice);
  EXPECT_EQ(buffer.Take(), "RING\r\nRING\r\n");

  const int received = posts;
  line.HangUp();
  ASSERT_TRUE(PumpUntil([&] { return posts > received; }, 3000));
  // Swallowed again: the loss must still reach the plug-in.
  const int lost = posts;
  ASSERT_TRUE(PumpUntil([&] { return posts > lost; }, 5000)) << "the hang-up is never told";
  EXPECT_EQ(buffer.TakeNotices() & kLossNotice, kLossNotice);
  EXPECT_EQ(buffer.LineError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
}

}  // namespace
}  // namespace hushcall::ringwatch
