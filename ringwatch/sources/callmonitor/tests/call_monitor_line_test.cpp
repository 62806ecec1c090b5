// The call monitor's lines: each kind read into its report, the kinds not
// read here told from lines that are no call monitor's, and the stream cut
// into bounded lines however it arrives.
#include "ringwatch/sources/callmonitor/call_monitor_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ringwatch/calls/line_splitter.h"

namespace hushcall::ringwatch {
namespace {

using Verdict = CallMonitorLine::Verdict;
using Kind = CallerDetail::Kind;

CallReport Read(std::string_view text) {
  const CallMonitorLine line = ParseCallMonitorLine(text);
  EXPECT_EQ(line.verdict, Verdict::kCall) << text;
  EXPECT_EQ(line.report.source, "callmonitor");
  return line.report;
}

TEST(CallMonitorLine, EachKindBecomesItsReport) {
  CallReport r = Read("24.12.25 18:30:01;RING;0;0301234567;987654;SIP0;\r");
  EXPECT_EQ(r.id, "0");
  EXPECT_EQ(r.direction, CallDirection::kIncoming);
  EXPECT_EQ(r.phase, CallPhase::kRinging);
  EXPECT_EQ(r.number, CallerDetail::Known("0301234567"));
  EXPECT_EQ(r.line, "987654");  // the user's own number that was called
  EXPECT_TRUE(r.endKnown);

  r = Read("24.12.25 18:30:01;RING;1;;987654;SIP0;");
  EXPECT_EQ(r.number.kind, Kind::kWithheld);

  r = Read("01.01.26 00:00:00;CALL;2;4;987654;0301234567;SIP1;");
  EXPECT_EQ(r.id, "2");
  EXPECT_EQ(r.direction, CallDirection::kOutgoing);
  EXPECT_EQ(r.phase, CallPhase::kRinging);
  EXPECT_EQ(r.number, CallerDetail::Known("0301234567"));
  EXPECT_EQ(r.line, "987654");  // the own number called from

  r = Read("31.12.99 23:59:59;CONNECT;2;4;0301234567;");
  EXPECT_EQ(r.phase, CallPhase::kAnswered);
  EXPECT_EQ(r.number, CallerDetail::Known("0301234567"));

  r = Read("31.12.99 23:59:59;DISCONNECT;2;125;");
  EXPECT_EQ(r.id, "2");
  EXPECT_EQ(r.phase, CallPhase::kEnded);
  // Without the trailing `;` and the line name, and with fields added by a
  // newer firmware.
  EXPECT_EQ(Read("24.12.25 18:30:01;RING;3;0301;987654").line, "987654");
  EXPECT_EQ(Read("24.12.25 18:30:01;DISCONNECT;3;0;x;y;z;").phase, CallPhase::kEnded);
}

TEST(CallMonitorLine, UnknownKindsAreIgnoredAndMalformedLinesAreBad) {
  EXPECT_EQ(ParseCallMonitorLine("24.12.25 18:30:01;HOLD;0;").verdict, Verdict::kUnknown);
  EXPECT_EQ(ParseCallMonitorLine("24.12.25 18:30:01;TRANSFER;0;1;2;3;4;5;6;7;8").verdict,
            Verdict::kUnknown);
  const std::vector<std::string> bad = {
      "",
      "\r",
      "RING;0;0301;987654;SIP0;",                     // no stamp
      "24.12.2025 18:30:01;RING;0;0301;987654;SIP0;",  // a four-digit year
      "32.12.25 18:30:01;RING;0;0301;987654;SIP0;",    // the 32nd
      "24.13.25 18:30:01;RING;0;0301;987654;SIP0;",
      "24.12.25 24:00:00;RING;0;0301;987654;SIP0;",
      "24.12.25 18:60:01;RING;0;0301;987654;SIP0;",
      "24.12.25 18:30:01",                             // nothing after it
      "24.12.25 18:30:01;;0;",                         // an empty kind
      "24.12.25 18:30:01;ring;0;0301;987654;SIP0;",    // kinds are capitals
      "24.12.25 18:30:01;RING;0;0301",                 // no called number
      "24.12.25 18:30:01;RING;;0301;987654;SIP0;",     // no id
      "24.12.25 18:30:01;RING;x1;0301;987654;SIP0;",
      "24.12.25 18:30:01;RING;1234567890;0301;987654;SIP0;",  // ten digits
      "24.12.25 18:30:01;RING;0;03 01;987654;SIP0;",   // a blank in a number
      "24.12.25 18:30:01;RING;0;03\x01;987654;SIP0;",
      "24.12.25 18:30:01;RING;0;\xc3\xa4;987654;SIP0;",
      "24.12.25 18:30:01;RING;0;" + std::string(65, '1') + ";987654;SIP0;",
      "24.12.25 18:30:01;CALL;0;4;987654",
      "24.12.25 18:30:01;CONNECT;0;4",
      "24.12.25 18:30:01;DISCONNECT;0;",               // no seconds
      "24.12.25 18:30:01;DISCONNECT;0;-1;",
      "24.12.25 18:30:01;HOLD;0;" + std::string(1024, 'x'),  // over 1 KiB
  };
  for (const std::string& text : bad) {
    EXPECT_EQ(ParseCallMonitorLine(text).verdict, Verdict::kBad) << text;
  }
}

TEST(LineSplitter, LinesComeWholeHoweverTheBytesAreCut) {
  const std::string stream =
      "24.12.25 18:30:01;RING;0;0301;987654;SIP0;\r\n24.12.25 18:30:09;DISCONNECT;0;0;\n";
  LineSplitter whole(kCallMonitorMaxLine);
  const LineSplitter::Lines all = whole.Feed(stream);
  ASSERT_EQ(all.complete.size(), 2u);
  EXPECT_EQ(all.complete[0], "24.12.25 18:30:01;RING;0;0301;987654;SIP0;\r");
  EXPECT_EQ(all.dropped, 0u);

  LineSplitter bytes(kCallMonitorMaxLine);
  std::vector<std::string> got;
  for (char c : stream) {
    for (std::string& line : bytes.Feed(std::string_view(&c, 1)).complete) got.push_back(line);
  }
  EXPECT_EQ(got, all.complete);
  EXPECT_TRUE(bytes.Feed("").complete.empty());
}

TEST(LineSplitter, AnOverlongLineIsDroppedToItsEndAndTheNextIsKept) {
  LineSplitter splitter(8);
  EXPECT_EQ(splitter.Feed("12345678\n").complete, std::vector<std::string>{"12345678"});
  // Nine bytes: over the limit, however many reads bring it; the buffer
  // holds nothing of it meanwhile.
  LineSplitter::Lines lines = splitter.Feed("12345");
  lines = splitter.Feed(std::string(64 * 1024, 'x'));
  EXPECT_TRUE(lines.complete.empty());
  lines = splitter.Feed("yz\nok\n");
  EXPECT_EQ(lines.dropped, 1u);
  EXPECT_EQ(lines.complete, std::vector<std::string>{"ok"});
  // A connection gone in the middle of a line leaves nothing behind.
  splitter.Feed("half");
  splitter.Clear();
  EXPECT_EQ(splitter.Feed("new\n").complete, std::vector<std::string>{"new"});
}

}  // namespace
}  // namespace hushcall::ringwatch
