// The caller ID block as modems send it, from what --caller takes.
#include "tools/modemsim/caller_id.h"

#include <gtest/gtest.h>

namespace hushcall::modemsim {
namespace {

TEST(CallerId, TheBlockHasTheDateTimeNumberAndNameLines) {
  std::tm when{};
  when.tm_mon = 2;  // March
  when.tm_mday = 1;
  when.tm_hour = 9;
  when.tm_min = 5;
  EXPECT_EQ(CallerIdBlock(*ParseCallerId("5551234,DOE, JOHN"), when),
            "\r\nDATE = 0301\r\nTIME = 0905\r\nNMBR = 5551234\r\nNAME = DOE, JOHN\r\n");
  EXPECT_EQ(CallerIdBlock(*ParseCallerId("P"), when),
            "\r\nDATE = 0301\r\nTIME = 0905\r\nNMBR = P\r\n");
  EXPECT_FALSE(ParseCallerId("555\n1234"));
}

}  // namespace
}  // namespace hushcall::modemsim
