// Strict numbers, leading numbers and the rounding and narrowing rules.
#include "settings/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "common/status.h"
#include "settings/settings.h"

namespace hushcall {
namespace {

// Runs `f` and returns the status of the Failure it threw, or kOk.
template <class F>
Status StatusOf(F&& f) {
  try {
    f();
  } catch (const Failure& failure) {
    return failure.status();
  }
  return kOk;
}

struct StrictCase {
  const char* text;
  const char* separator;
  Status status;
  std::int32_t value;  // when status is kOk
};

class StrictNumberTest : public ::testing::TestWithParam<StrictCase> {};

TEST_P(StrictNumberTest, ConvertsOrFailsAsExpected) {
  const StrictCase& c = GetParam();
  std::int32_t value = 0;
  const Status status = StatusOf([&] { value = StrictNumberToInt32(c.text, c.separator); });
  ASSERT_EQ(status, c.status) << '"' << c.text << "\" with separator \"" << c.separator << '"';
  if (status == kOk) {
    EXPECT_EQ(value, c.value) << '"' << c.text << '"';
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, StrictNumberTest,
    ::testing::Values(
        StrictCase{"122", ".", kOk, 122},
        StrictCase{"40046", ".", kOk, 40046},
        StrictCase{" 7 ", ".", kOk, 7},
        StrictCase{"\t7\t", ".", kOk, 7},
        StrictCase{"+5", ".", kOk, 5},
        StrictCase{"-5", ".", kOk, -5},
        StrictCase{"007", ".", kOk, 7},
        StrictCase{"-0", ".", kOk, 0},
        // Halves go to the even integer, anything past a half goes up.
        StrictCase{"12.5", ".", kOk, 12},
        StrictCase{"13.5", ".", kOk, 14},
        StrictCase{"12.50000", ".", kOk, 12},
        StrictCase{"12.500001", ".", kOk, 13},
        StrictCase{"12.49999", ".", kOk, 12},
        StrictCase{"-12.5", ".", kOk, -12},
        StrictCase{"-13.5", ".", kOk, -14},
        StrictCase{"0.5", ".", kOk, 0},
        StrictCase{".5", ".", kOk, 0},
        StrictCase{"1.5", ".", kOk, 2},
        StrictCase{"7.", ".", kOk, 7},
        // Only the locale's separator marks a fraction.
        StrictCase{"12,5", ",", kOk, 12},
        StrictCase{"13,5", ",", kOk, 14},
        StrictCase{"12.5", ",", kTypeMismatch, 0},
        StrictCase{"12,5", ".", kTypeMismatch, 0},
        StrictCase{"1,000", ".", kTypeMismatch, 0},
        // Not one number.
        StrictCase{"", ".", kTypeMismatch, 0},
        StrictCase{"   ", ".", kTypeMismatch, 0},
        StrictCase{"abc", ".", kTypeMismatch, 0},
        StrictCase{"12abc", ".", kTypeMismatch, 0},
        StrictCase{"1 2", ".", kTypeMismatch, 0},
        StrictCase{"-", ".", kTypeMismatch, 0},
        StrictCase{".", ".", kTypeMismatch, 0},
        StrictCase{"--5", ".", kTypeMismatch, 0},
        StrictCase{"5-", ".", kTypeMismatch, 0},
        StrictCase{"1.2.3", ".", kTypeMismatch, 0},
        StrictCase{"1e3", ".", kTypeMismatch, 0},
        StrictCase{"0x10", ".", kTypeMismatch, 0},
        // The signed 32-bit range, including rounding across its ends.
        StrictCase{"2147483647", ".", kOk, 2147483647},
        StrictCase{"-2147483648", ".", kOk, std::numeric_limits<std::int32_t>::min()},
        StrictCase{"2147483648", ".", kOverflow, 0},
        StrictCase{"-2147483649", ".", kOverflow, 0},
        StrictCase{"2147483647.5", ".", kOverflow, 0},
        StrictCase{"2147483646.5", ".", kOk, 2147483646},
        StrictCase{"-2147483648.5", ".", kOk, std::numeric_limits<std::int32_t>::min()},
        StrictCase{"99999999999999999999999", ".", kOverflow, 0}));

struct LeadingCase {
  const char* text;
  double value;
};

class LeadingNumberTest : public ::testing::TestWithParam<LeadingCase> {};

TEST_P(LeadingNumberTest, ReadsTheLeadingNumber) {
  const LeadingCase& c = GetParam();
  EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.value) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, LeadingNumberTest,
    ::testing::Values(
        LeadingCase{"1", 1}, LeadingCase{"40%", 40}, LeadingCase{"1 yes", 1},
        LeadingCase{"1abc", 1},
        // Blanks, tabs and line feeds vanish wherever they stand.
        LeadingCase{" 1 2", 12}, LeadingCase{"\t-3", -3}, LeadingCase{"1\n2", 12},
        LeadingCase{"- 4", -4}, LeadingCase{"2 . 5", 2.5},
        // A carriage return is not a blank: it ends the number.
        LeadingCase{"1\r2", 1},
        LeadingCase{"1.5.5", 1.5}, LeadingCase{"+2.25", 2.25}, LeadingCase{".5", 0.5},
        LeadingCase{"7.", 7},
        // Exponents in either case, with or without a sign, digits optional.
        LeadingCase{"2e3x", 2000}, LeadingCase{"2E3", 2000}, LeadingCase{"2e+3", 2000},
        LeadingCase{"25e-1", 2.5}, LeadingCase{"2e", 2}, LeadingCase{"2e-", 2},
        LeadingCase{"1.5e1", 15},
        // No leading number reads as 0.
        LeadingCase{"", 0}, LeadingCase{"COM2", 0}, LeadingCase{"yes", 0},
        LeadingCase{"e5", 0}, LeadingCase{".", 0}, LeadingCase{"-", 0},
        LeadingCase{"--5", 0}, LeadingCase{"0", 0}, LeadingCase{"0.000", 0},
        LeadingCase{"1e-99999", 0}));

TEST(LeadingNumber, HugeExponentReadsAsInfinityWithTheSign) {
  EXPECT_EQ(LeadingNumber("1e999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(LeadingNumber("-1e99999999999999999999"), -std::numeric_limits<double>::infinity());
}

TEST(LeadingNumber, ManyDigitsKeepTheirMagnitude) {
  EXPECT_DOUBLE_EQ(LeadingNumber(std::string(400, '9')), std::numeric_limits<double>::infinity());
  EXPECT_DOUBLE_EQ(LeadingNumber("0." + std::string(50, '0') + "1e51"), 1.0);
}

struct RoundCase {
  double value;
  Status int32Status;
  std::int32_t int32Value;
  Status byteStatus;
  std::uint8_t byteValue;
};

class RoundingTest : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundingTest, RoundsHalfToEvenWithinTheTargetRange) {
  const RoundCase& c = GetParam();
  std::int32_t i = 0;
  std::uint8_t b = 0;
  EXPECT_EQ(StatusOf([&] { i = RoundToInt32(c.value); }), c.int32Status) << c.value;
  EXPECT_EQ(StatusOf([&] { b = RoundToByte(c.value); }), c.byteStatus) << c.value;
  if (c.int32Status == kOk) {
    EXPECT_EQ(i, c.int32Value) << c.value;
  }
  if (c.byteStatus == kOk) {
    EXPECT_EQ(b, c.byteValue) << c.value;
  }
}

constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Table, RoundingTest,
    ::testing::Values(
        RoundCase{0.0, kOk, 0, kOk, 0}, RoundCase{2.5, kOk, 2, kOk, 2},
        RoundCase{3.5, kOk, 4, kOk, 4}, RoundCase{2.4999, kOk, 2, kOk, 2},
        RoundCase{2.5001, kOk, 3, kOk, 3}, RoundCase{-0.4, kOk, 0, kOk, 0},
        RoundCase{-0.5, kOk, 0, kOk, 0}, RoundCase{-0.6, kOk, -1, kOverflow, 0},
        RoundCase{-2.5, kOk, -2, kOverflow, 0}, RoundCase{255.0, kOk, 255, kOk, 255},
        RoundCase{255.5, kOk, 256, kOverflow, 0}, RoundCase{254.5, kOk, 254, kOk, 254},
        RoundCase{256.0, kOk, 256, kOverflow, 0},
        RoundCase{2147483647.0, kOk, 2147483647, kOverflow, 0},
        RoundCase{2147483647.5, kOverflow, 0, kOverflow, 0},
        RoundCase{-2147483648.5, kOk, std::numeric_limits<std::int32_t>::min(), kOverflow, 0},
        RoundCase{-2147483649.0, kOverflow, 0, kOverflow, 0},
        RoundCase{kInf, kOverflow, 0, kOverflow, 0},
        RoundCase{-kInf, kOverflow, 0, kOverflow, 0},
        RoundCase{std::numeric_limits<double>::quiet_NaN(), kOverflow, 0, kOverflow, 0}));

TEST(NarrowToByte, KeepsZeroTo255AndOverflowsOutside) {
  EXPECT_EQ(NarrowToByte(0), 0);
  EXPECT_EQ(NarrowToByte(255), 255);
  EXPECT_EQ(StatusOf([] { NarrowToByte(256); }), kOverflow);
  EXPECT_EQ(StatusOf([] { NarrowToByte(-1); }), kOverflow);
  EXPECT_EQ(StatusOf([] { NarrowToByte(std::int64_t{1} << 40); }), kOverflow);
}

TEST(BoolToBit, GivesOneForTrueAndZeroForFalse) {
  EXPECT_EQ(BoolToBit(true), 1);
  EXPECT_EQ(BoolToBit(false), 0);
}

}  // namespace
}  // namespace hushcall
