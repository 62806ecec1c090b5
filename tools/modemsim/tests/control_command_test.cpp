#include "tools/modemsim/control_command.h"

#include <gtest/gtest.h>

namespace hushcall::modemsim {
namespace {

using Kind = ControlCommand::Kind;

struct ControlCase {
  const char* line;
  Kind kind;
  int rings;
  long long gap;
  std::string bytes;
};

class ControlLines : public ::testing::TestWithParam<ControlCase> {};

TEST_P(ControlLines, ParseIntoTheirCommand) {
  const ControlCase& c = GetParam();
  ControlCommand got = ParseControlLine(c.line);
  EXPECT_EQ(got.kind, c.kind);
  if (c.kind == Kind::kRing) {
    EXPECT_EQ(got.rings, c.rings);
    EXPECT_EQ(got.gap.count(), c.gap);
  }
  if (c.kind == Kind::kPause) {
    EXPECT_EQ(got.gap.count(), c.gap);
  }
  if (c.kind == Kind::kSend) {
    EXPECT_EQ(got.bytes, c.bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ControlLines,
    ::testing::Values(ControlCase{"ring", Kind::kRing, 1, 0, ""},
                      ControlCase{"ring\r", Kind::kRing, 1, 0, ""},
                      ControlCase{"ring 3 200", Kind::kRing, 3, 200, ""},
                      ControlCase{"ring 3", Kind::kInvalid, 0, 0, ""},
                      ControlCase{"ring -1 5", Kind::kInvalid, 0, 0, ""},
                      ControlCase{"ring 2 x", Kind::kInvalid, 0, 0, ""},
                      ControlCase{"send RING\\r\\n", Kind::kSend, 0, 0, "RING\r\n"},
                      ControlCase{"send  two  spaces", Kind::kSend, 0, 0, " two  spaces"},
                      ControlCase{"send \\x00\\xff", Kind::kSend, 0, 0, std::string("\0\xff", 2)},
                      ControlCase{"pause 20", Kind::kPause, 0, 20, ""},
                      ControlCase{"pause", Kind::kInvalid, 0, 0, ""},
                      ControlCase{"pause 20 30", Kind::kInvalid, 0, 0, ""},
                      ControlCase{"hangup", Kind::kHangup, 0, 0, ""},
                      ControlCase{"quit", Kind::kQuit, 0, 0, ""},
                      ControlCase{"quit now", Kind::kInvalid, 0, 0, ""},
                      ControlCase{"RING", Kind::kInvalid, 0, 0, ""},
                      ControlCase{"", Kind::kInvalid, 0, 0, ""}));

}  // namespace
}  // namespace hushcall::modemsim
