#include "ringwatch/win32/receive_buffer.h"

#include <gtest/gtest.h>

namespace hushcall::ringwatch {
namespace {

bool Signalled(HANDLE event) { return ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

TEST(ReceiveBuffer, OneNotificationCoversArrivalsUntilItIsReceived) {
  ReceiveBuffer buffer(64);
  EXPECT_TRUE(buffer.Append("RI"));
  EXPECT_FALSE(buffer.Append("NG")) << "one already pending";
  buffer.NotificationReceived();
  EXPECT_TRUE(buffer.Append("\r\n"));
  EXPECT_EQ(buffer.Take(), "RING\r\n");
}

TEST(ReceiveBuffer, DataEventFollowsWaitingCharacters) {
  ReceiveBuffer buffer(64);
  EXPECT_FALSE(Signalled(buffer.DataEvent()));
  buffer.Append("OK");
  EXPECT_TRUE(Signalled(buffer.DataEvent()));
  buffer.Take();
  EXPECT_FALSE(Signalled(buffer.DataEvent()));
}

TEST(ReceiveBuffer, OverflowKeepsTheNewestCharacters) {
  ReceiveBuffer buffer(8);
  buffer.Append("0123456789");
  buffer.Append("RING\r\n");
  EXPECT_EQ(buffer.Size(), 8u);
  EXPECT_EQ(buffer.Take(), "89RING\r\n");
}

TEST(ReceiveBuffer, LineErrorStaysUntilCharactersArriveOrCleared) {
  ReceiveBuffer buffer(64);
  buffer.SetLineError(ERROR_OPERATION_ABORTED);
  EXPECT_EQ(buffer.LineError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
  buffer.Append("x");
  EXPECT_EQ(buffer.LineError(), 0u);
  buffer.SetLineError(ERROR_GEN_FAILURE);
  buffer.Clear();
  EXPECT_EQ(buffer.LineError(), 0u);
  EXPECT_EQ(buffer.Take(), "");
  EXPECT_TRUE(buffer.Append("y")) << "clearing also forgets a pending notification";
}

}  // namespace
}  // namespace hushcall::ringwatch
