// Text-to-number conversions of the settings and the dialog.
#pragma once

#include <cstdint>
#include <string_view>

namespace hushcall {

// The whole text must be one number: optional blanks around it, an optional
// sign, decimal digits, optionally `decimalSeparator` and fraction digits.
// A fraction goes to the nearest integer, a tie to the even one.
// Throws Failure(kTypeMismatch) for anything else (the empty text included)
// and Failure(kOverflow) outside the signed 32-bit range.
std::int32_t StrictNumberToInt32(std::string_view text, std::string_view decimalSeparator);

// The leading number of a text: blanks, tabs and line feeds are ignored
// wherever they stand; then an optional sign, digits with at most one point
// "." and an optional exponent (E or e, optional sign, digits). Reading stops
// at the first character that does not fit; no number reads as 0.
double LeadingNumber(std::string_view text);

// Nearest integer, ties to even. Throws Failure(kOverflow) outside the
// target's range.
std::int32_t RoundToInt32(double value);
std::uint8_t RoundToByte(double value);

// Narrowing to 0..255. Throws Failure(kOverflow) outside it.
std::uint8_t NarrowToByte(std::int64_t value);

}  // namespace hushcall
