// The call message through nlohmann-json: built as a JSON object, and read
// back with every field's type and range checked before it is used.
#include "ringwatch/sources/mqtt/call_message.h"

#include <ctime>
#include <nlohmann/json.hpp>

#include "ringwatch/sources/mqtt/mqtt_topics.h"

namespace hushcall::ringwatch {
namespace {

using nlohmann::json;

// Bounds of each text: above any real one, below anything that floods a log.
constexpr std::size_t kMaxSource = 32;
constexpr std::size_t kMaxId = 64;
constexpr std::size_t kMaxNumber = 64;
constexpr std::size_t kMaxName = 128;
constexpr std::size_t kMaxLine = 64;
constexpr std::size_t kMaxTime = 32;

std::string_view DirectionText(CallDirection direction) {
  return direction == CallDirection::kIncoming ? "incoming" : "outgoing";
}

std::string_view PhaseText(CallPhase phase) {
  switch (phase) {
    case CallPhase::kRinging:
      return "ringing";
    case CallPhase::kAnswered:
      return "answered";
    case CallPhase::kEnded:
      return "ended";
  }
  return "ended";
}

void PutDetail(json& object, const char* key, const char* statusKey, const CallerDetail& detail) {
  switch (detail.kind) {
    case CallerDetail::Kind::kKnown:
      object[key] = detail.text;
      break;
    case CallerDetail::Kind::kWithheld:
      object[statusKey] = "withheld";
      break;
    case CallerDetail::Kind::kUnavailable:
      object[statusKey] = "unavailable";
      break;
    case CallerDetail::Kind::kUnknown:
      break;
  }
}

// What one field of a message may be; the first failure names it.
class Reader {
 public:
  explicit Reader(const json& object) : object_(object) {}

  const std::string& error() const { return error_; }

  // A text of 1..max (0..max when optional) printable characters; absent
  // gives "" for an optional one.
  std::string Text(const char* key, std::size_t max, bool required) {
    const auto it = object_.find(key);
    if (it == object_.end()) {
      if (required) Fail(std::string("'") + key + "' is missing");
      return {};
    }
    if (!it->is_string()) {
      Fail(std::string("'") + key + "' is not a text");
      return {};
    }
    const std::string& text = it->get_ref<const std::string&>();
    if ((required && text.empty()) || text.size() > max) {
      Fail(std::string("'") + key + "' is empty or longer than " + std::to_string(max));
      return {};
    }
    for (const char c : text) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
        Fail(std::string("'") + key + "' holds a control character");
        return {};
      }
    }
    return text;
  }

  // One of two words.
  bool Either(const char* key, std::string_view first, std::string_view second) {
    const std::string text = Text(key, 16, true);
    if (!error_.empty()) return false;
    if (text == first) return true;
    if (text != second) {
      Fail(std::string("'") + key + "' is neither " + std::string(first) + " nor " +
           std::string(second));
    }
    return false;
  }

  CallPhase Phase() {
    const std::string text = Text("phase", 16, true);
    if (text == "ringing") return CallPhase::kRinging;
    if (text == "answered") return CallPhase::kAnswered;
    if (text != "ended" && error_.empty()) Fail("'phase' is not ringing, answered or ended");
    return CallPhase::kEnded;
  }

  CallerDetail Detail(const char* key, const char* statusKey, std::size_t max) {
    const std::string text = Text(key, max, false);
    const std::string status = Text(statusKey, 16, false);
    if (!error_.empty()) return {};
    if (!text.empty() && !status.empty()) {
      Fail(std::string("both '") + key + "' and '" + statusKey + "'");
      return {};
    }
    if (!text.empty()) return CallerDetail::Known(text);
    if (status == "withheld") return {CallerDetail::Kind::kWithheld, {}};
    if (status == "unavailable") return {CallerDetail::Kind::kUnavailable, {}};
    if (!status.empty()) Fail(std::string("'") + statusKey + "' is not withheld or unavailable");
    return {};
  }

  bool Flag(const char* key, bool absent) {
    const auto it = object_.find(key);
    if (it == object_.end()) return absent;
    if (!it->is_boolean()) {
      Fail(std::string("'") + key + "' is not true or false");
      return absent;
    }
    return it->get<bool>();
  }

 private:
  void Fail(std::string why) {
    if (error_.empty()) error_ = std::move(why);
  }

  const json& object_;
  std::string error_;
};

}  // namespace

std::string EncodeCallMessage(const CallMessage& message, bool callerId) {
  const CallReport& report = message.report;
  json object = json::object();
  object["origin"] = message.origin;
  object["source"] = report.source;
  object["id"] = report.id;
  object["direction"] = std::string(DirectionText(report.direction));
  object["phase"] = std::string(PhaseText(report.phase));
  if (callerId) {
    PutDetail(object, "number", "number_status", report.number);
    PutDetail(object, "name", "name_status", report.name);
  }
  if (!report.line.empty()) object["line"] = report.line;
  if (!report.endKnown) object["end_known"] = false;
  if (!message.time.empty()) object["time"] = message.time;
  // A text from a source that is not UTF-8 is replaced, not thrown.
  return object.dump(-1, ' ', false, json::error_handler_t::replace);
}

ParsedCallMessage ParseCallMessage(std::string_view payload) {
  ParsedCallMessage parsed;
  if (payload.size() > kMaxCallMessageBytes) {
    parsed.error = "larger than " + std::to_string(kMaxCallMessageBytes) + " bytes";
    return parsed;
  }
  // No exceptions: a text that is not JSON comes back discarded.
  const json object = json::parse(payload.begin(), payload.end(), nullptr, false);
  if (object.is_discarded()) {
    parsed.error = "not JSON";
    return parsed;
  }
  if (!object.is_object()) {
    parsed.error = "not a JSON object";
    return parsed;
  }
  Reader read(object);
  CallMessage message;
  message.origin = read.Text("origin", kMaxTopicLevel, true);
  if (read.error().empty() && !IsTopicLevel(message.origin)) {
    parsed.error = "'origin' is not a host's topic level";
    return parsed;
  }
  CallReport& report = message.report;
  report.source = read.Text("source", kMaxSource, true);
  report.id = read.Text("id", kMaxId, true);
  report.direction = read.Either("direction", "incoming", "outgoing") ? CallDirection::kIncoming
                                                                       : CallDirection::kOutgoing;
  report.phase = read.Phase();
  report.number = read.Detail("number", "number_status", kMaxNumber);
  report.name = read.Detail("name", "name_status", kMaxName);
  report.line = read.Text("line", kMaxLine, false);
  report.endKnown = read.Flag("end_known", true);
  message.time = read.Text("time", kMaxTime, false);
  if (!read.error().empty()) {
    parsed.error = read.error();
    return parsed;
  }
  parsed.message = std::move(message);
  return parsed;
}

std::string UtcTimeText(std::int64_t secondsSinceEpoch) {
  const std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
  std::tm utc{};
  char text[32] = "";
  if (::gmtime_r(&t, &utc) == nullptr) return {};
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

}  // namespace hushcall::ringwatch
