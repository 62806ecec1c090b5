#include "tools/modemsim/hayes.h"

#include <cctype>

namespace hushcall::modemsim {
namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kBackspace = '\b';

bool StartsWithAt(std::string_view line) {
  return line.size() >= 2 && std::toupper(static_cast<unsigned char>(line[0])) == 'A' &&
         std::toupper(static_cast<unsigned char>(line[1])) == 'T';
}

// Leading blanks are what a terminal user types before the command; a
// modem skips them.
std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

}  // namespace

std::string FormatResult(std::string_view text, AnswerMode mode) {
  switch (mode) {
    case AnswerMode::kOk:
      return "\r\n" + std::string(text) + "\r\n";
    case AnswerMode::kCrOnly:
      return std::string(text) + "\r";
    case AnswerMode::kLowercase: {
      std::string lower(text);
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return "\r\n" + lower + "\r\n";
    }
    case AnswerMode::kNone:
      break;
  }
  return {};
}

HayesInterpreter::HayesInterpreter(bool echo, AnswerMode mode, CallerIdMode callerIdMode)
    : initialEcho_(echo), mode_(mode), callerIdMode_(callerIdMode), echo_(echo) {}

Reaction HayesInterpreter::Feed(std::string_view bytes) {
  Reaction out;
  for (char c : bytes) {
    // Echo is decided per byte: an ATE0 switches it off only once its
    // carriage return has been read, and that CR is still echoed.
    if (echo_) out.echo.push_back(c);
    if (c == kCr) {
      std::string line;
      line.swap(line_);
      RunLine(line, out);
    } else if (c == kLf) {
      // Line feeds after a CR (or anywhere) are not part of a command.
    } else if (c == kBackspace) {
      if (!line_.empty()) line_.pop_back();
    } else {
      line_.push_back(c);
    }
  }
  return out;
}

void HayesInterpreter::RunLine(const std::string& raw, Reaction& out) {
  std::string_view line = TrimLeft(raw);
  if (!StartsWithAt(line)) {
    if (!line.empty()) out.events.push_back("ignored " + std::string(line));
    return;
  }
  const bool echoBefore = echo_;
  out.events.push_back("command " + std::string(line));
  const bool callerIdBefore = callerId_;
  const bool taken = RunCommands(line.substr(2));
  if (echo_ != echoBefore) out.events.push_back(echo_ ? "echo on" : "echo off");
  if (callerId_ != callerIdBefore) out.events.push_back(callerId_ ? "caller id on" : "caller id off");
  std::string answer = FormatResult(taken ? "OK" : "ERROR", mode_);
  if (!answer.empty()) out.answers.push_back(std::move(answer));
}

// Walks the commands after "AT". Only E (echo), Z (reset) and +VCID (caller
// ID) change anything here; every other command is accepted and answered OK.
bool HayesInterpreter::RunCommands(std::string_view commands) {
  size_t i = 0;
  auto digits = [&] {
    size_t start = i;
    while (i < commands.size() && std::isdigit(static_cast<unsigned char>(commands[i]))) ++i;
    return commands.substr(start, i - start);
  };
  while (i < commands.size()) {
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(commands[i++])));
    if (c == '+') {
      // An extended command takes the rest of the line.
      std::string rest(commands.substr(i));
      for (char& r : rest) r = static_cast<char>(std::toupper(static_cast<unsigned char>(r)));
      if (rest.rfind("VCID=", 0) == 0) {
        if (callerIdMode_ == CallerIdMode::kError) return false;
        callerId_ = rest.substr(5) == "1";
      }
      return true;
    } else if (c == '&' || c == '\\' || c == '%') {
      if (i < commands.size()) ++i;  // extended command letter
      digits();
    } else if (c == 'E') {
      echo_ = digits() != "0";
    } else if (c == 'Z') {
      digits();
      echo_ = initialEcho_;  // the stored profile: the echo we started with
      callerId_ = false;
    } else {
      digits();
    }
  }
  return true;
}

}  // namespace hushcall::modemsim
