// Reading a call monitor line: the stamp checked, the fields split at `;`,
// each field checked for what its kind allows.
#include "ringwatch/sources/callmonitor/call_monitor_line.h"

#include <array>
#include <string>

namespace hushcall::ringwatch {
namespace {

using Verdict = CallMonitorLine::Verdict;

// The router's connection ids are small; a long one is no id of its.
constexpr std::size_t kMaxIdDigits = 9;
// E.164 allows 15 digits; room for prefixes, `#`, `*` and SIP suffixes.
constexpr std::size_t kMaxNumber = 64;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view text) {
  for (char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

int TwoDigits(std::string_view text, std::size_t at) {
  return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

// DD.MM.YY HH:MM:SS, each part within its range.
bool IsStamp(std::string_view text) {
  constexpr std::string_view kShape = "00.00.00 00:00:00";
  if (text.size() != kShape.size()) return false;
  for (std::size_t i = 0; i < kShape.size(); ++i) {
    if (kShape[i] == '0' ? !IsDigit(text[i]) : text[i] != kShape[i]) return false;
  }
  const int day = TwoDigits(text, 0);
  const int month = TwoDigits(text, 3);
  return day >= 1 && day <= 31 && month >= 1 && month <= 12 && TwoDigits(text, 9) <= 23 &&
         TwoDigits(text, 12) <= 59 && TwoDigits(text, 15) <= 59;
}

// A number, a line name or an extension as the router writes them: printable
// ASCII without blanks, bounded.
bool IsNumberField(std::string_view text) {
  if (text.size() > kMaxNumber) return false;
  for (char c : text) {
    if (c <= ' ' || c > '~') return false;
  }
  return true;
}

bool IsId(std::string_view text) {
  return !text.empty() && text.size() <= kMaxIdDigits && AllDigits(text);
}

CallerDetail Number(std::string_view text, bool emptyIsWithheld) {
  if (!text.empty()) return CallerDetail::Known(std::string(text));
  CallerDetail detail;
  if (emptyIsWithheld) detail.kind = CallerDetail::Kind::kWithheld;
  return detail;
}

// The fields after the stamp and kind, as many as the kind needs; more are
// allowed, for a firmware that adds some.
constexpr std::size_t kMaxFields = 8;
struct Fields {
  std::array<std::string_view, kMaxFields> at{};
  std::size_t count = 0;
};

Fields Split(std::string_view text) {
  Fields fields;
  while (fields.count < kMaxFields) {
    const std::size_t semicolon = text.find(';');
    fields.at[fields.count++] = text.substr(0, semicolon);
    if (semicolon == std::string_view::npos) break;
    text.remove_prefix(semicolon + 1);
  }
  return fields;
}

}  // namespace

CallMonitorLine ParseCallMonitorLine(std::string_view text) {
  CallMonitorLine result;
  if (text.size() > kCallMonitorMaxLine) return result;
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  const Fields f = Split(text);
  // The stamp and the kind at least; then the kind's own fields, counted
  // with those two.
  if (f.count < 2 || !IsStamp(f.at[0])) return result;
  const std::string_view kind = f.at[1];
  std::size_t needed = 0;
  CallReport& report = result.report;
  if (kind == "RING") {
    needed = 5;  // id, caller, called; the line name may be missing
  } else if (kind == "CALL") {
    needed = 6;  // id, extension, own number, called; the line name too
    report.direction = CallDirection::kOutgoing;
  } else if (kind == "CONNECT") {
    needed = 5;  // id, extension, number
    report.phase = CallPhase::kAnswered;
  } else if (kind == "DISCONNECT") {
    needed = 4;  // id, seconds
    report.phase = CallPhase::kEnded;
  } else {
    bool word = !kind.empty();
    for (char c : kind) word = word && c >= 'A' && c <= 'Z';
    if (word) result.verdict = Verdict::kUnknown;
    return result;
  }
  if (f.count < needed || !IsId(f.at[2])) return result;
  for (std::size_t i = 3; i < needed; ++i) {
    if (!IsNumberField(f.at[i])) return result;
  }
  if (kind == "RING") {
    report.number = Number(f.at[3], true);
    report.line = std::string(f.at[4]);
  } else if (kind == "CALL") {
    report.number = Number(f.at[5], false);
    report.line = std::string(f.at[4]);
  } else if (kind == "CONNECT") {
    report.number = Number(f.at[4], false);
  } else if (f.at[3].empty() || !AllDigits(f.at[3])) {
    return result;  // DISCONNECT's seconds
  }
  report.source = kCallMonitorSource;
  report.id = std::string(f.at[2]);
  result.verdict = Verdict::kCall;
  return result;
}

}  // namespace hushcall::ringwatch
