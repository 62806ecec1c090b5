// What a call source says about a call: one report per change, from the
// first ring (or dialling) to its end. Every source speaks this one model,
// whatever it hears calls on.
#pragma once

#include <string>

namespace hushcall::ringwatch {

enum class CallDirection { kIncoming, kOutgoing };

// Ringing is dialling for an outgoing call.
enum class CallPhase { kRinging, kAnswered, kEnded };

// A caller's number or name as far as the source knows it. A caller who
// withheld it and a network that could not deliver it are facts of their
// own, not an empty text.
struct CallerDetail {
  enum class Kind { kUnknown, kKnown, kWithheld, kUnavailable };
  Kind kind = Kind::kUnknown;
  std::string text;  // set for kKnown only

  static CallerDetail Known(std::string text) { return {Kind::kKnown, std::move(text)}; }
  bool known() const { return kind == Kind::kKnown; }
  bool operator==(const CallerDetail&) const = default;
};

struct CallReport {
  bool operator==(const CallReport&) const = default;
  std::string source;  // the source's name: "tty", "modemmanager"
  std::string id;      // the source's own id of the call
  CallDirection direction = CallDirection::kIncoming;
  CallPhase phase = CallPhase::kRinging;
  // Whether the source will report the call's end. A modem on a tty only
  // rings: its call ends a while after the last ring, and how it went is
  // never known.
  bool endKnown = true;
  CallerDetail number;
  CallerDetail name;
  std::string line;  // the line or own number called; empty when not known
};

}  // namespace hushcall::ringwatch
