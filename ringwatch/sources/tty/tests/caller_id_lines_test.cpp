// The modem's caller ID lines: blocks found however the text is cut, the
// values for withheld and unavailable, and what is no caller ID.
#include "ringwatch/sources/tty/caller_id_lines.h"

#include <gtest/gtest.h>

#include <string>

namespace hushcall::ringwatch {
namespace {

using Kind = CallerDetail::Kind;

TEST(CallerIdLines, ACallsBlockIsReadOnceHoweverTheTextIsCut) {
  const std::string call =
      "RING\r\n\r\nDATE = 0321\r\nTIME = 1405\r\nNMBR = 5551234\r\nNAME = JOHN DOE\r\n\r\nRING\r\n";
  // Five characters at a time, as receive events bring them.
  CallerIdLines lines;
  std::vector<ModemCallerId> callers;
  for (std::size_t at = 0; at < call.size(); at += 5) {
    for (ModemCallerId& c : lines.Feed(call.substr(at, 5)).callers) callers.push_back(c);
  }
  EXPECT_EQ(callers, (std::vector<ModemCallerId>{{CallerDetail::Known("5551234"),
                                                  CallerDetail::Known("JOHN DOE"), "0321", "1405"}}));
  // Number alone: over at the blank line; a field again begins a block.
  CallerIdLines::Read read = lines.Feed("NMBR = P\r\n\r\nNAME=O\r\nNMBR =O\r\nNMBR = 1\r\nNMBR = 2\r\n");
  ASSERT_EQ(read.callers.size(), 3u);
  EXPECT_EQ(read.callers[0].number.kind, Kind::kWithheld);
  EXPECT_EQ(read.callers[0].name.kind, Kind::kUnknown);
  EXPECT_EQ(read.callers[1].name.kind, Kind::kUnavailable);
  EXPECT_EQ(read.callers[1].number.kind, Kind::kUnavailable);
  EXPECT_EQ(read.callers[2].number.text, "1");
}

TEST(CallerIdLines, RepliesGarbageAndOverlongLinesAreNoCaller) {
  CallerIdLines lines;
  EXPECT_TRUE(lines.Feed("AT+VCID=1\r\r\nOK\r\n").ok);
  CallerIdLines::Read read = lines.Feed("\r\nERROR\r\nDATE = 0101\r\n\r\nNMBR\r\nNAMEX = 1\r\n= 5\r\n");
  EXPECT_TRUE(read.error);
  EXPECT_TRUE(read.callers.empty()) << "a date says nothing of the caller";
  // Over-long: dropped whole without holding it, the next line still read;
  // a value keeps printable ASCII alone, its escaping is the notification's.
  lines.Feed("NMBR = " + std::string(64 * 1024, '5'));
  read = lines.Feed("\r\nNAME = A<b>\x01\xE9&\r\n\r\n");
  EXPECT_EQ(read.dropped, 1u);
  ASSERT_EQ(read.callers.size(), 1u);
  EXPECT_EQ(read.callers[0].number.kind, Kind::kUnknown);
  EXPECT_EQ(read.callers[0].name.text, "A<b>??&");
  // A reset forgets a line begun.
  lines.Feed("NMBR = 12");
  lines.Reset();
  EXPECT_TRUE(lines.Feed("34\r\n\r\n").callers.empty());
}

}  // namespace
}  // namespace hushcall::ringwatch
