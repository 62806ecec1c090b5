#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ringwatch/core/modring.h"
#include "tests/support/call_log.h"

namespace hushcall::ringwatch {
namespace {

struct ScanCase {
  const char* name;
  std::vector<std::string> reads;  // successive reads of one session
  std::vector<bool> rings;         // whether each read yields a ring
};

class RingScannerTable : public ::testing::TestWithParam<ScanCase> {};

TEST_P(RingScannerTable, FindsReportsAsExpected) {
  const ScanCase& c = GetParam();
  ASSERT_EQ(c.reads.size(), c.rings.size());
  RingScanner scanner;
  for (std::size_t i = 0; i < c.reads.size(); ++i) {
    EXPECT_EQ(scanner.Scan(c.reads[i]), c.rings[i])
        << "read " << i << ": \"" << hushcall::testing::Escaped(c.reads[i]) << "\"";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Reads, RingScannerTable,
    ::testing::Values(
        ScanCase{"ReportAfterBlankLineIsOneRing", {"\r\nRING\r\n"}, {true}},
        ScanCase{"ReportAfterOtherResultLines", {"OK\r\nNO CARRIER\r\nRING\r\n"}, {true}},
        ScanCase{"ReportFollowedByFurtherLines", {"RING\r\nCONNECT\r\n"}, {true}},
        ScanCase{"CarriageReturnAloneIsNoReport", {"RING\r"}, {false}},
        ScanCase{"LowerCaseIsNoReport", {"ring\r\n"}, {false}},
        ScanCase{"MixedCaseIsNoReport", {"Ring\r\n"}, {false}},
        ScanCase{"RingingIsNoReport", {"RINGING\r\n"}, {false}},
        ScanCase{"LineFeedBeforeCarriageReturnIsNoReport", {"RING\n\r"}, {false}},
        ScanCase{"TwoReportsInOneReadAreOneRing", {"RING\r\nRING\r\n"}, {true}},
        ScanCase{"EmptyReadIsNoRing", {""}, {false}},
        // A modem's report can straddle two receive events: it counts once.
        ScanCase{"ReportSplitAfterRinIsFoundOnce", {"\r\nRIN", "G\r\n", "\r\n"}, {false, true, false}},
        ScanCase{"ReportSplitInsideCrLfIsFoundOnce", {"\r\nRING\r", "\n"}, {false, true}},
        ScanCase{"ReportSplitAfterRIsFound", {"xxR", "ING\r\n"}, {false, true}},
        ScanCase{"ReportSplitOverThreeReads", {"RI", "NG", "\r\n"}, {false, false, true}},
        ScanCase{"SplitLowerCaseIsNoReport", {"\r\nrin", "g\r\n"}, {false, false}},
        ScanCase{"SplitRingingIsNoReport", {"RIN", "GING\r\n"}, {false, false}},
        // Only a possible beginning of a report is carried over, nothing else.
        ScanCase{"TextBeforeTailIsNotCarried", {"RING", "X", "\r\n"}, {false, false, false}},
        ScanCase{"CompleteReportIsNotCountedAgain", {"RING\r\n", "RING\r\n"}, {true, true}},
        ScanCase{"ReportThenPartialCarriesOnlyThePartial", {"RING\r\nRI", "NG\r\n"}, {true, true}},
        ScanCase{"LineEndAloneAfterReportIsNoRing", {"RING\r\n", "\r\n"}, {true, false}},
        // The tail holds at most five characters: after "RING\r" twice only
        // the latest one is kept, and "\n" completes it once.
        ScanCase{"PartialRepeatedKeepsOnlyTheLatest", {"RING\r", "RING\r", "\n"}, {false, false, true}},
        ScanCase{"NoiseInsideSplitReportIsNoReport", {"RIN", "xG\r\n"}, {false, false}}),
    [](const ::testing::TestParamInfo<ScanCase>& info) { return std::string(info.param.name); });

TEST(RingScanner, ResetForgetsAPartialReport) {
  RingScanner scanner;
  EXPECT_FALSE(scanner.Scan("\r\nRIN"));
  scanner.Reset();
  EXPECT_FALSE(scanner.Scan("G\r\n"));
}

}  // namespace
}  // namespace hushcall::ringwatch
