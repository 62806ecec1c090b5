// Text-to-number conversions of the settings and the dialog.
#include "settings/conversions.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "common/status.h"
#include "settings/settings.h"

namespace hushcall {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Whether the fraction digits round the magnitude up: above one half always,
// exactly one half only when that makes the integer even.
bool FractionRoundsUp(std::string_view fraction, bool integerIsOdd) {
  if (fraction.empty() || fraction[0] < '5') return false;
  if (fraction[0] > '5') return true;
  for (char c : fraction.substr(1)) {
    if (c != '0') return true;
  }
  return integerIsOdd;
}

}  // namespace

std::int32_t StrictNumberToInt32(std::string_view text, std::string_view decimalSeparator) {
  std::size_t pos = 0;
  std::size_t end = text.size();
  while (pos < end && IsBlank(text[pos])) ++pos;
  while (end > pos && IsBlank(text[end - 1])) --end;

  bool negative = false;
  if (pos < end && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }

  // The magnitude saturates just past the int32 range so that long digit
  // runs cannot wrap; anything that large is an overflow anyway.
  constexpr std::int64_t kSaturated = std::int64_t{1} << 32;
  std::int64_t magnitude = 0;
  std::size_t digits = 0;
  while (pos < end && IsDigit(text[pos])) {
    if (magnitude < kSaturated) magnitude = magnitude * 10 + (text[pos] - '0');
    ++pos;
    ++digits;
  }

  std::string_view fraction;
  if (!decimalSeparator.empty() && text.substr(pos, end - pos).starts_with(decimalSeparator)) {
    pos += decimalSeparator.size();
    const std::size_t fractionStart = pos;
    while (pos < end && IsDigit(text[pos])) ++pos;
    fraction = text.substr(fractionStart, pos - fractionStart);
    digits += fraction.size();
  }

  if (digits == 0 || pos != end) Fail(kTypeMismatch);

  if (FractionRoundsUp(fraction, magnitude % 2 != 0)) ++magnitude;
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    Fail(kOverflow);
  }
  return static_cast<std::int32_t>(value);
}

double LeadingNumber(std::string_view text) {
  // Blanks, tabs and line feeds do not count anywhere, not even between
  // digits, so drop them before reading.
  std::string compact;
  compact.reserve(text.size());
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') compact.push_back(c);
  }

  std::size_t pos = 0;
  const std::size_t end = compact.size();
  bool negative = false;
  if (pos < end && (compact[pos] == '+' || compact[pos] == '-')) {
    negative = compact[pos] == '-';
    ++pos;
  }

  // The mantissa's digits without its sign and without the point, whose
  // place moves into the exponent: text without a decimal point reads the
  // same in every C locale.
  std::string number;
  bool seenPoint = false;
  bool seenDigit = false;
  bool seenSignificant = false;
  std::int64_t fractionDigits = 0;
  for (; pos < end; ++pos) {
    const char c = compact[pos];
    if (IsDigit(c)) {
      seenDigit = true;
      if (c != '0') seenSignificant = true;
      if (seenPoint) ++fractionDigits;
      if (seenSignificant) number.push_back(c);
    } else if (c == '.' && !seenPoint) {
      seenPoint = true;
    } else {
      break;
    }
  }
  if (!seenDigit) return 0.0;

  // An exponent without digits adds nothing; a huge one is capped, which
  // still reads as infinity or zero.
  constexpr std::int64_t kExponentCap = 100000;
  std::int64_t exponent = 0;
  if (pos < end && (compact[pos] == 'E' || compact[pos] == 'e')) {
    ++pos;
    bool exponentNegative = false;
    if (pos < end && (compact[pos] == '+' || compact[pos] == '-')) {
      exponentNegative = compact[pos] == '-';
      ++pos;
    }
    while (pos < end && IsDigit(compact[pos])) {
      if (exponent < kExponentCap) exponent = exponent * 10 + (compact[pos] - '0');
      ++pos;
    }
    if (exponentNegative) exponent = -exponent;
  }
  if (!seenSignificant) return negative ? -0.0 : 0.0;

  number.push_back('e');
  number += std::to_string(exponent - fractionDigits);

  // strtod rounds to the nearest double (glibc's, and MinGW's own C99 one,
  // which <cstdlib> names strtod there), past the range to infinity and
  // below it to zero. It keeps the DLLs free of std::from_chars, whose
  // library object brings some 40 KB.
  const double value = std::strtod(number.c_str(), nullptr);
  return negative ? -value : value;
}

namespace {

// Nearest integer, an exact half to the even one; non-finite stays as it is.
double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  const double floor = std::floor(value);
  const double diff = value - floor;
  if (diff > 0.5) return floor + 1.0;
  if (diff < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

}  // namespace

std::int32_t RoundToInt32(double value) {
  const double rounded = RoundHalfEven(value);
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) Fail(kOverflow);
  return static_cast<std::int32_t>(rounded);
}

std::uint8_t RoundToByte(double value) {
  const double rounded = RoundHalfEven(value);
  if (!(rounded >= 0.0 && rounded <= 255.0)) Fail(kOverflow);
  return static_cast<std::uint8_t>(rounded);
}

std::uint8_t NarrowToByte(std::int64_t value) {
  if (value < 0 || value > 255) Fail(kOverflow);
  return static_cast<std::uint8_t>(value);
}

std::int16_t BoolToBit(bool b) { return b ? 1 : 0; }

}  // namespace hushcall
