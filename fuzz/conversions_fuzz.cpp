// The strict and the leading number conversions, and loading the six
// settings from any stored texts. A conversion either gives a value that
// prints back to the same number and agrees with the C library's reading of
// the text, or fails with type mismatch or overflow, never anything else.
#include <fuzzer/FuzzedDataProvider.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "common/status.h"
#include "settings/conversions.h"
#include "settings/settings.h"
#include "tests/support/memory_store.h"

namespace {

using hushcall::Failure;

void Check(bool ok) {
  if (!ok) std::abort();
}

// The user locale's decimal separators seen in practice, one of two bytes.
constexpr std::string_view kSeparators[] = {".", ",", "\xd9\xab"};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The C library's reading of a strict number: the text without its outer
// blanks, its one separator made a point, must be digits, a leading sign and
// that point, all read by strtold. Nothing when it is not such a number.
std::optional<long double> StrictReading(std::string_view text, std::string_view separator) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  std::string plain(text);
  const auto pointAt = plain.find(separator);
  if (pointAt != std::string::npos) plain.replace(pointAt, separator.size(), ".");
  for (std::size_t i = 0; i < plain.size(); ++i) {
    const char c = plain[i];
    if (!(c >= '0' && c <= '9') && c != '+' && c != '-' && i != pointAt) return std::nullopt;
  }
  if (plain.empty() || plain.find_first_of("0123456789") == std::string::npos) return std::nullopt;
  char* end = nullptr;
  const long double value = std::strtold(plain.c_str(), &end);
  if (end != plain.c_str() + plain.size()) return std::nullopt;
  return value;
}

void CheckStrict(std::string_view text, std::string_view separator) {
  const std::optional<long double> reading = StrictReading(text, separator);
  try {
    const std::int32_t value = hushcall::StrictNumberToInt32(text, separator);
    Check(reading && std::fabs(*reading - value) <= 0.5L);
    Check(hushcall::StrictNumberToInt32(std::to_string(value), separator) == value);
  } catch (const Failure& failure) {
    if (failure.status() == hushcall::kTypeMismatch) {
      Check(!reading);
    } else {
      Check(failure.status() == hushcall::kOverflow);
      Check(reading && (*reading >= 2147483647.5L || *reading <= -2147483648.5L));
    }
  }
}

// The C library's reading of the leading number: blanks, tabs and line
// feeds dropped, then strtod, which reads the same form once hexadecimal,
// infinity and nan (which begin with no digit or point) are kept away.
double LeadingReading(std::string_view text) {
  std::string compact;
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') compact.push_back(c);
  }
  std::size_t digitAt = compact.empty() || (compact[0] != '+' && compact[0] != '-') ? 0 : 1;
  const std::string rest = compact.substr(std::min(digitAt, compact.size()));
  const bool begins = !rest.empty() && ((rest[0] >= '0' && rest[0] <= '9') ||
                                        (rest[0] == '.' && rest.size() > 1 && rest[1] >= '0' && rest[1] <= '9'));
  if (!begins) return 0.0;
  // strtod would read "0x1" as sixteen's digits; the form stops at the x.
  std::string number = compact;
  if (const auto x = number.find_first_of("xX"); x != std::string::npos) number.resize(x);
  // Other characters strtod skips first (vertical tab, form feed, CR) come
  // only after the number began, where both stop.
  return std::strtod(number.c_str(), nullptr);
}

void CheckLeading(std::string_view text) {
  const double value = hushcall::LeadingNumber(text);
  Check(!std::isnan(value));
  const double reading = LeadingReading(text);
  Check(value == reading ||
        (std::fabs(value) < 2.3e-308 && std::fabs(reading) < 2.3e-308));  // below normal
  if (std::isfinite(value)) {
    char printed[64];
    const auto result = std::to_chars(printed, printed + sizeof printed, value);
    Check(hushcall::LeadingNumber(std::string_view(printed, result.ptr - printed)) == value);
  }
  // Rounding either keeps within half of the number or fails with overflow.
  try {
    Check(std::fabs(hushcall::RoundToInt32(value) - value) <= 0.5);
  } catch (const Failure& failure) {
    Check(failure.status() == hushcall::kOverflow && !(std::fabs(value) < 2147483647.5));
  }
}

constexpr const char* kKeys[] = {"Action", "Volume", "Percent", "Popup", "Enabled", "COMPort"};

// Which fields hold a value, in key order.
int KnownCount(const hushcall::Settings& s) {
  const bool known[] = {s.Action.known(), s.Volume.known(), s.Percent.known(),
                        s.Popup.known(), s.Enabled.known(), s.COMPort.known()};
  int count = 0;
  while (count < 6 && known[count]) ++count;
  for (int i = count; i < 6; ++i) Check(!known[i]);
  return count;
}

// Loading stops at the first key that fails, with its status; saving then
// writes the loaded fields in plain decimal, which loads back to the same
// record and saves the same texts again.
void CheckLoad(FuzzedDataProvider& input, std::string_view separator) {
  hushcall::MemorySettingsStore stored;
  for (const char* key : kKeys) {
    if (input.ConsumeBool()) stored.Set(key, input.ConsumeRandomLengthString(24));
  }
  hushcall::Settings settings;
  try {
    hushcall::LoadSettings(settings, stored, separator);
    Check(KnownCount(settings) == 6);
  } catch (const Failure& failure) {
    Check(failure.status() == hushcall::kTypeMismatch || failure.status() == hushcall::kOverflow);
    Check(KnownCount(settings) < 6);
  }
  hushcall::MemorySettingsStore saved;
  hushcall::SaveSettings(settings, saved);
  const int known = KnownCount(settings);
  Check(static_cast<int>(saved.Writes().size()) == known);
  if (known < 6) return;
  hushcall::Settings again;
  hushcall::LoadSettings(again, saved, separator);
  Check(again.Action == settings.Action && again.Volume == settings.Volume &&
        again.Percent == settings.Percent && again.Popup == settings.Popup &&
        again.Enabled == settings.Enabled && again.COMPort == settings.COMPort);
  hushcall::MemorySettingsStore savedAgain;
  hushcall::SaveSettings(again, savedAgain);
  Check(savedAgain.Writes() == saved.Writes());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string_view separator = kSeparators[input.ConsumeIntegralInRange<int>(0, 2)];
  const std::string text = input.ConsumeRandomLengthString(64);
  CheckStrict(text, separator);
  CheckLeading(text);
  CheckLoad(input, separator);
  return 0;
}
