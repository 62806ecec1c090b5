#include "tools/modemsim/control_command.h"

#include <charconv>

#include "tools/modemsim/escape.h"

namespace hushcall::modemsim {
namespace {

using Kind = ControlCommand::Kind;

std::string_view NextWord(std::string_view& rest) {
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  size_t end = rest.find(' ');
  std::string_view word = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
  return word;
}

bool ReadNonNegative(std::string_view word, long long& value) {
  auto [ptr, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  return ec == std::errc() && ptr == word.data() + word.size() && value >= 0;
}

ControlCommand Invalid(std::string_view line) {
  ControlCommand c;
  c.bytes = "unknown command: " + std::string(line);
  return c;
}

}  // namespace

ControlCommand ParseControlLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::string_view rest = line;
  const std::string_view verb = NextWord(rest);
  ControlCommand c;
  if (verb == "ring") {
    const std::string_view count = NextWord(rest);
    const std::string_view gap = NextWord(rest);
    c.kind = Kind::kRing;
    if (count.empty()) return c;
    long long n = 0;
    long long ms = 0;
    if (!ReadNonNegative(count, n) || !ReadNonNegative(gap, ms) || !NextWord(rest).empty() ||
        n > 100000) {
      return Invalid(line);
    }
    c.rings = static_cast<int>(n);
    c.gap = Millis(ms);
    return c;
  }
  if (verb == "send") {
    // Everything after the single space that follows the verb is the text,
    // spaces included.
    c.kind = Kind::kSend;
    if (!rest.empty()) rest.remove_prefix(1);
    c.bytes = UnescapeC(rest);
    return c;
  }
  if (verb == "pause") {
    long long ms = 0;
    if (!ReadNonNegative(NextWord(rest), ms) || !NextWord(rest).empty() || ms > 60000) return Invalid(line);
    c.kind = Kind::kPause;
    c.gap = Millis(ms);
    return c;
  }
  if (!NextWord(rest).empty()) return Invalid(line);
  if (verb == "hangup") c.kind = Kind::kHangup;
  else if (verb == "quit") c.kind = Kind::kQuit;
  else return Invalid(line);
  return c;
}

}  // namespace hushcall::modemsim
