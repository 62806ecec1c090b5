// The modem's command interpreter: bytes from the PC in, bytes for the line
// and transcript events out. It keeps no time; the caller decides when the
// answers go out (after the reply delay).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hushcall::modemsim {

enum class AnswerMode {
  kOk,         // CR LF "OK" CR LF, as a modem in verbose mode answers
  kNone,       // never answers: a dead or wrongly set up modem
  kCrOnly,     // "OK" CR: a modem in a mode the plug-in must not accept
  kLowercase,  // CR LF "ok" CR LF: likewise not the marker
};

// How the modem answers AT+VCID=1, the request for caller ID.
enum class CallerIdMode {
  kOk,     // takes it: caller ID follows each call's first ring
  kError,  // a modem without caller ID answers ERROR
};

// What one read from the PC side leads to.
struct Reaction {
  std::string echo;                  // written back at once
  std::vector<std::string> answers;  // one result line per answered command
  std::vector<std::string> events;   // for the transcript
};

class HayesInterpreter {
 public:
  HayesInterpreter(bool echo, AnswerMode mode, CallerIdMode callerIdMode = CallerIdMode::kOk);

  // Bytes may end anywhere: a command split over several reads is kept
  // until its carriage return arrives.
  Reaction Feed(std::string_view bytes);

  bool echo() const { return echo_; }
  // AT+VCID=1 was taken, and no reset or AT+VCID=0 since.
  bool callerId() const { return callerId_; }

 private:
  void RunLine(const std::string& line, Reaction& out);
  // False when a command is refused: the line is answered ERROR.
  bool RunCommands(std::string_view commands);

  const bool initialEcho_;
  const AnswerMode mode_;
  const CallerIdMode callerIdMode_;
  bool echo_;
  bool callerId_ = false;
  std::string line_;
};

// The bytes of a result line ("OK", "RING"...) in the given answer mode;
// empty for kNone.
std::string FormatResult(std::string_view text, AnswerMode mode);

}  // namespace hushcall::modemsim
