#include "ringwatch/win32/receive_buffer.h"

#include <gtest/gtest.h>

namespace hushcall::ringwatch {
namespace {

bool Signalled(HANDLE event) { return ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

TEST(ReceiveBuffer, OneNotificationCoversNoticesUntilItIsReceived) {
  ReceiveBuffer buffer(64);
  EXPECT_FALSE(buffer.AddNotices(0)) << "nothing to tell";
  EXPECT_TRUE(buffer.AddNotices(kArrivalNotice));
  EXPECT_FALSE(buffer.AddNotices(kTailNotice)) << "one already on its way";
  EXPECT_EQ(buffer.TakeNotices(), kArrivalNotice | kTailNotice);
  EXPECT_TRUE(buffer.AddNotices(kArrivalNotice)) << "received: the next one posts again";
}

// A refused post must not leave the buffer believing one is on its way:
// then no notification would ever be posted again.
TEST(ReceiveBuffer, FailedPostKeepsTheNoticesAndLetsTheNextPost) {
  ReceiveBuffer buffer(64);
  ASSERT_TRUE(buffer.AddNotices(kArrivalNotice));
  buffer.PostFailed();
  EXPECT_TRUE(buffer.AddNotices(0)) << "a retry with nothing new still posts";
  EXPECT_EQ(buffer.TakeNotices(), kArrivalNotice);
}

TEST(ReceiveBuffer, WaitEventTellsOfCharactersAndALostLine) {
  ReceiveBuffer buffer(64);
  EXPECT_FALSE(Signalled(buffer.BeginWait()));
  buffer.Append("OK");
  EXPECT_TRUE(Signalled(buffer.BeginWait())) << "an arrival during the wait";
  buffer.EndWait();
  EXPECT_TRUE(Signalled(buffer.BeginWait())) << "characters that already wait";
  buffer.EndWait();
  buffer.Take();
  EXPECT_FALSE(Signalled(buffer.BeginWait()));
  buffer.SetLineError(ERROR_BROKEN_PIPE);
  EXPECT_TRUE(Signalled(buffer.BeginWait())) << "a poll must not wait for characters that can't come";
  buffer.EndWait();
}

TEST(ReceiveBuffer, OverflowKeepsTheNewestCharacters) {
  ReceiveBuffer buffer(8);
  buffer.Append("0123456789");
  buffer.Append("RING\r\n");
  EXPECT_EQ(buffer.Size(), 8u);
  EXPECT_EQ(buffer.Take(), "89RING\r\n");
}

TEST(ReceiveBuffer, ClearForgetsCharactersLineErrorAndNotices) {
  ReceiveBuffer buffer(64);
  buffer.Append("x");
  buffer.SetLineError(ERROR_BROKEN_PIPE);
  ASSERT_TRUE(buffer.AddNotices(kLossNotice));
  buffer.Clear();
  EXPECT_EQ(buffer.LineError(), 0u);
  EXPECT_EQ(buffer.Take(), "");
  EXPECT_TRUE(buffer.AddNotices(kArrivalNotice)) << "the notification of the earlier session is forgotten";
  EXPECT_EQ(buffer.TakeNotices(), kArrivalNotice);
}

}  // namespace
}  // namespace hushcall::ringwatch
