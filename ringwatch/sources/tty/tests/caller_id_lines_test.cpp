// The modem's caller ID lines: blocks found however the text is cut, the
// values that stand for withheld and unavailable, and what is no caller ID.
#include "ringwatch/sources/tty/caller_id_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hushcall::ringwatch {
namespace {

using Kind = CallerDetail::Kind;

std::vector<ModemCallerId> FeedAll(CallerIdLines& lines, const std::vector<std::string>& reads) {
  std::vector<ModemCallerId> callers;
  for (const std::string& text : reads) {
    for (ModemCallerId& c : lines.Feed(text).callers) callers.push_back(std::move(c));
  }
  return callers;
}

const std::string kCall =
    "RING\r\n\r\nDATE = 0321\r\nTIME = 1405\r\nNMBR = 5551234\r\nNAME = JOHN DOE\r\n\r\nRING\r\n";

TEST(CallerIdLines, ACallsBlockIsReadOnceHoweverTheTextIsCut) {
  CallerIdLines whole;
  const std::vector<ModemCallerId> all = FeedAll(whole, {kCall});
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0], (ModemCallerId{CallerDetail::Known("5551234"),
                                   CallerDetail::Known("JOHN DOE"), "0321", "1405"}));
  // Five characters at a time, as receive events bring them.
  CallerIdLines cut;
  std::vector<std::string> reads;
  for (std::size_t at = 0; at < kCall.size(); at += 5) reads.push_back(kCall.substr(at, 5));
  EXPECT_EQ(FeedAll(cut, reads), all);
}

TEST(CallerIdLines, OAndPAreUnavailableAndWithheldAndABlockEndsWhereItsLinesDo) {
  CallerIdLines lines;
  // Number alone: over at the blank line; name first: over with both.
  const auto callers = FeedAll(lines, {"NMBR = P\r\n\r\n", "NAME=O\r\nNMBR =O\r\n",
                                       "NMBR = 0301234\r\nNMBR = 0309876\r\nRING\r\n"});
  ASSERT_EQ(callers.size(), 4u);
  EXPECT_EQ(callers[0].number.kind, Kind::kWithheld);
  EXPECT_EQ(callers[0].name.kind, Kind::kUnknown);
  EXPECT_EQ(callers[1].number.kind, Kind::kUnavailable);
  EXPECT_EQ(callers[1].name.kind, Kind::kUnavailable);
  // A field that comes again begins the next block.
  EXPECT_EQ(callers[2].number.text, "0301234");
  EXPECT_EQ(callers[3].number.text, "0309876");
}

TEST(CallerIdLines, RepliesGarbageAndOverlongLinesAreNoCaller) {
  CallerIdLines lines;
  CallerIdLines::Read read = lines.Feed("AT+VCID=1\r\r\nOK\r\n");
  EXPECT_TRUE(read.ok);
  EXPECT_FALSE(read.error);
  read = lines.Feed("\r\nERROR\r\nDATE = 0101\r\nTIME = 0000\r\n\r\nNMBR\r\nNAMEX = 1\r\n= 5\r\n");
  EXPECT_TRUE(read.error);
  EXPECT_TRUE(read.callers.empty()) << "a date and time say nothing of the caller";
  // Over-long: dropped whole without holding it, the next line still read.
  read = lines.Feed("NMBR = " + std::string(64 * 1024, '5'));
  read = lines.Feed("\r\nNAME = A<b>\x01\xE9&\r\n\r\n");
  EXPECT_EQ(read.dropped, 1u);
  ASSERT_EQ(read.callers.size(), 1u);
  EXPECT_EQ(read.callers[0].number.kind, Kind::kUnknown);
  EXPECT_EQ(read.callers[0].name.text, "A<b>??&") << "printable ASCII only; escaping is the "
                                                     "notification's";
  // A reset forgets a line begun.
  lines.Feed("NMBR = 12");
  lines.Reset();
  EXPECT_TRUE(lines.Feed("34\r\n\r\n").callers.empty());
}

}  // namespace
}  // namespace hushcall::ringwatch
