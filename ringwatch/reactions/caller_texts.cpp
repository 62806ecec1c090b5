#include "ringwatch/reactions/caller_texts.h"

#include <string_view>

namespace hushcall::ringwatch {
namespace {

// At most kMaxCallerText bytes, never ending inside a UTF-8 character.
std::string Bounded(std::string_view text) {
  if (text.size() <= kMaxCallerText) return std::string(text);
  std::size_t end = kMaxCallerText;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

std::string OtherEnd(const Call& call) {
  std::string text;
  if (call.direction == CallDirection::kOutgoing) {
    text = call.number.known() ? "to " + Bounded(call.number.text) : "to an unknown number";
  } else {
    switch (call.number.kind) {
      case CallerDetail::Kind::kKnown:
        text = "from " + Bounded(call.number.text);
        break;
      case CallerDetail::Kind::kWithheld:
        text = "from a withheld number";
        break;
      case CallerDetail::Kind::kUnavailable:
        text = "from an unavailable number";
        break;
      case CallerDetail::Kind::kUnknown:
        text = "from an unknown number";
        break;
    }
  }
  if (call.name.known()) text += " (" + Bounded(call.name.text) + ")";
  return text;
}

}  // namespace

std::string CallFromText(const Call& call) {
  if (call.direction != CallDirection::kIncoming) return {};
  if (call.name.known()) {
    std::string text = "Call from " + Bounded(call.name.text);
    if (call.number.known()) text += " (" + Bounded(call.number.text) + ")";
    return text;
  }
  if (call.number.known()) return "Call from " + Bounded(call.number.text);
  if (call.number.kind == CallerDetail::Kind::kWithheld ||
      (call.number.kind == CallerDetail::Kind::kUnknown &&
       call.name.kind == CallerDetail::Kind::kWithheld)) {
    return "Caller withheld";
  }
  return {};
}

std::string CallLogText(const Call& call) {
  std::string text;
  for (const CallLeg& leg : call.legs) {
    text.append(text.empty() ? "" : ", ").append(leg.source).append(" ").append(leg.id);
  }
  return text + ": " + OtherEnd(call);
}

}  // namespace hushcall::ringwatch
