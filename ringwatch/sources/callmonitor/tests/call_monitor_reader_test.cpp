// The call monitor's stream into the reports of the calls that count:
// Numbers, a connection id rung again before its end, a peer that opens
// more calls than a router carries, and a connection gone.
#include "ringwatch/sources/callmonitor/call_monitor_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hushcall::ringwatch {
namespace {

std::string Line(const std::string& rest) { return "24.12.25 18:30:01;" + rest + "\r\n"; }

// "id phase direction line" per report, to compare at a glance.
std::vector<std::string> Said(const CallMonitorReader::Read& read) {
  std::vector<std::string> said;
  for (const CallReport& r : read.reports) {
    const char* phase = r.phase == CallPhase::kRinging    ? "rings"
                        : r.phase == CallPhase::kAnswered ? "answered"
                                                          : "ended";
    said.push_back(r.id + " " + phase + (r.direction == CallDirection::kOutgoing ? " out " : " in ") +
                   r.line);
  }
  return said;
}

using Lines = std::vector<std::string>;

TEST(CallMonitorReader, NumbersChooseTheCallsAndTheirAnswersAndEndsFollow) {
  std::vector<std::string> numbers = {"111"};
  CallMonitorReader reader(numbers);
  CallMonitorReader::Read read = reader.Feed(
      Line("RING;0;0301;222;SIP1;") + Line("RING;1;0301;111;SIP0;") +
      Line("CALL;2;4;222;0301;SIP1;") + Line("CALL;3;4;111;0301;SIP0;") +
      Line("CONNECT;0;1;0301;") + Line("CONNECT;3;4;0301;") + Line("DISCONNECT;0;5;") +
      Line("DISCONNECT;1;0;") + Line("DISCONNECT;2;0;") + Line("DISCONNECT;3;9;"));
  // The answer and end keep the direction and own number of the first line.
  EXPECT_EQ(Said(read), (Lines{"1 rings in 111", "3 rings out 111", "3 answered out 111",
                               "1 ended in 111", "3 ended out 111"}));
  EXPECT_EQ(read.badLines, 0u);
  // Read as each call begins: emptied, every call counts.
  numbers.clear();
  read = reader.Feed(Line("RING;0;0301;222;SIP1;"));
  EXPECT_EQ(Said(read), (Lines{"0 rings in 222"}));
  // An answer or end of a call never heard is nobody's.
  EXPECT_TRUE(reader.Feed(Line("CONNECT;7;1;0301;") + Line("DISCONNECT;8;0;")).reports.empty());
}

TEST(CallMonitorReader, AnIdRungAgainEndsItsCallFirstAndCallsAreBounded) {
  const std::vector<std::string> all;
  CallMonitorReader reader(all);
  reader.Feed(Line("RING;0;0301;111;SIP0;"));
  EXPECT_EQ(Said(reader.Feed(Line("CALL;0;4;222;0301;SIP1;"))),
            (Lines{"0 ended in 111", "0 rings out 222"}));

  // A peer opening calls without end gets no more than a router carries.
  std::string flood;
  for (int id = 1; id <= 100; ++id) flood += Line("RING;" + std::to_string(id) + ";0301;111;SIP0;");
  EXPECT_EQ(reader.Feed(flood).reports.size(), kCallMonitorMaxCalls - 1);

  // Gone with the connection: the calls, and a line begun.
  reader.Feed("24.12.25 18:30:01;DISCON");
  reader.Reset();
  const CallMonitorReader::Read read = reader.Feed("NECT;0;0;\r\n" + Line("DISCONNECT;1;0;"));
  EXPECT_TRUE(read.reports.empty());
  EXPECT_EQ(read.badLines, 1u);
  EXPECT_EQ(read.firstBad, "NECT;0;0;?");
  EXPECT_EQ(Said(reader.Feed(Line("RING;5;0301;111;SIP0;"))), (Lines{"5 rings in 111"}));
}

TEST(CallMonitorReader, BadAndOverlongLinesAreCountedWithAPrintableSample) {
  const std::vector<std::string> all;
  CallMonitorReader reader(all);
  const CallMonitorReader::Read read =
      reader.Feed(std::string(2000, 'x') + "\n" + "\x01\xff garbage\n" + Line("HOLD;0;") +
                  Line("RING;0;0301;111;SIP0;"));
  EXPECT_EQ(read.badLines, 2u);  // HOLD is a kind not read, not a bad line
  EXPECT_EQ(read.firstBad, "(a line over 1 KiB)");
  EXPECT_EQ(Said(read), (Lines{"0 rings in 111"}));
}

}  // namespace
}  // namespace hushcall::ringwatch
