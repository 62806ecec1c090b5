#include "tools/modemsim/escape.h"

#include <gtest/gtest.h>

#include "tools/modemsim/transcript.h"

namespace hushcall::modemsim {
namespace {

struct EscapeCase {
  std::string bytes;
  std::string text;
};

class Escapes : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(Escapes, BytesBecomeOneReadableLine) { EXPECT_EQ(EscapeBytes(GetParam().bytes), GetParam().text); }

TEST_P(Escapes, UnescapingGivesTheBytesBack) { EXPECT_EQ(UnescapeC(GetParam().text), GetParam().bytes); }

INSTANTIATE_TEST_SUITE_P(Cases, Escapes,
                         ::testing::Values(EscapeCase{"ATZ\r", "ATZ\\r"},
                                           EscapeCase{"\r\nOK\r\n", "\\r\\nOK\\r\\n"},
                                           EscapeCase{std::string("a\0b", 3), "a\\x00b"},
                                           EscapeCase{"\x7F\xFF\t", "\\x7F\\xFF\\x09"},
                                           EscapeCase{"back\\slash", "back\\x5Cslash"},
                                           EscapeCase{"two words", "two words"},
                                           EscapeCase{"", ""}));

TEST(UnescapeC, ReadsShortAndOddEscapes) {
  EXPECT_EQ(UnescapeC("\\x7\\t\\\\\\q"), std::string("\x07\t\\q"));
  EXPECT_EQ(UnescapeC("\\xZZ"), "\\xZZ");
  EXPECT_EQ(UnescapeC("end\\"), "end\\");
  EXPECT_EQ(UnescapeC("\\x414"), "A4");  // at most two hex digits
}

TEST(TranscriptLine, StampTagAndEscapedText) {
  EXPECT_EQ(FormatTranscriptLine(1700000000123456, "tx", "RING\r\n"), "1700000000123456 tx RING\\r\\n\n");
}

}  // namespace
}  // namespace hushcall::modemsim
