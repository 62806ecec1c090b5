// The call message both ways: what goes out, and what is taken from any
// machine on the broker and what is refused.
#include "ringwatch/sources/mqtt/call_message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hushcall::ringwatch {
namespace {

CallMessage Ringing() {
  CallMessage message;
  message.origin = "desk";
  message.report.source = "callmonitor";
  message.report.id = "3";
  message.report.number = CallerDetail::Known("+491701234567");
  message.report.name = CallerDetail::Known("Alice");
  message.report.line = "SIP0";
  message.time = "2026-12-10T14:05:00Z";
  return message;
}

TEST(CallMessage, EncodesEveryFieldWithTheCallerOnlyWhenAsked) {
  EXPECT_EQ(EncodeCallMessage(Ringing(), true),
            R"({"direction":"incoming","id":"3","line":"SIP0","name":"Alice",)"
            R"("number":"+491701234567","origin":"desk","phase":"ringing",)"
            R"("source":"callmonitor","time":"2026-12-10T14:05:00Z"})");
  EXPECT_EQ(EncodeCallMessage(Ringing(), false),
            R"({"direction":"incoming","id":"3","line":"SIP0","origin":"desk","phase":"ringing",)"
            R"("source":"callmonitor","time":"2026-12-10T14:05:00Z"})");
}

TEST(CallMessage, WithheldAndUnavailableAreStatusesNotTexts) {
  CallMessage message = Ringing();
  message.report.number = {CallerDetail::Kind::kWithheld, {}};
  message.report.name = {CallerDetail::Kind::kUnavailable, {}};
  const std::string text = EncodeCallMessage(message, true);
  EXPECT_NE(text.find(R"("number_status":"withheld")"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("name_status":"unavailable")"), std::string::npos) << text;
  EXPECT_EQ(text.find(R"("number":)"), std::string::npos) << text;
  EXPECT_EQ(ParseCallMessage(text).message, message);
}

TEST(CallMessage, EveryPhaseDirectionAndUnendedCallComesBackAsItWent) {
  for (const CallPhase phase : {CallPhase::kRinging, CallPhase::kAnswered, CallPhase::kEnded}) {
    for (const CallDirection direction : {CallDirection::kIncoming, CallDirection::kOutgoing}) {
      for (const bool endKnown : {true, false}) {
        CallMessage message = Ringing();
        message.report.phase = phase;
        message.report.direction = direction;
        message.report.endKnown = endKnown;
        const ParsedCallMessage parsed = ParseCallMessage(EncodeCallMessage(message, true));
        EXPECT_EQ(parsed.error, "");
        EXPECT_EQ(parsed.message, message);
      }
    }
  }
}

TEST(CallMessage, TheLeastMessageAndUnknownKeysAreTaken) {
  const ParsedCallMessage parsed = ParseCallMessage(
      R"({"origin":"a","source":"tty","id":"1","direction":"outgoing","phase":"answered",)"
      R"("later":{"x":[1,2]}})");
  ASSERT_TRUE(parsed.message) << parsed.error;
  EXPECT_EQ(parsed.message->origin, "a");
  EXPECT_EQ(parsed.message->report.direction, CallDirection::kOutgoing);
  EXPECT_EQ(parsed.message->report.phase, CallPhase::kAnswered);
  EXPECT_TRUE(parsed.message->report.endKnown);
  EXPECT_EQ(parsed.message->report.number, CallerDetail{});
  EXPECT_EQ(parsed.message->time, "");
}

TEST(CallMessage, ANonUtf8TextIsReplacedNotThrown) {
  CallMessage message = Ringing();
  message.report.name = CallerDetail::Known("M\xfcller");
  const ParsedCallMessage parsed = ParseCallMessage(EncodeCallMessage(message, true));
  ASSERT_TRUE(parsed.message) << parsed.error;
  EXPECT_EQ(parsed.message->report.name.text, "M\xef\xbf\xbdller");
}

TEST(CallMessage, BadPayloadsAreRefusedWithTheirReason) {
  const std::string good =
      R"("origin":"desk","source":"callmonitor","id":"3","direction":"incoming")";
  struct Case {
    std::string payload;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"", "not JSON"},
      {"ringing", "not JSON"},
      {"{" + good + R"(,"phase":"ringing")", "not JSON"},
      {"[1,2]", "not a JSON object"},
      {"\"text\"", "not a JSON object"},
      {"{" + good + "}", "'phase' is missing"},
      {"{" + good + R"(,"phase":"on hold"})", "'phase' is not ringing, answered or ended"},
      {"{" + good + R"(,"phase":1})", "'phase' is not a text"},
      {R"({"origin":"desk","source":"callmonitor","id":3,"direction":"incoming","phase":"ended"})",
       "'id' is not a text"},
      {R"({"origin":"desk","source":"callmonitor","id":"","direction":"incoming","phase":"ended"})",
       "'id' is empty or longer than 64"},
      {R"({"origin":"de/sk","source":"x","id":"1","direction":"incoming","phase":"ended"})",
       "'origin' is not a host's topic level"},
      {R"({"origin":"desk","source":"x","id":"1","direction":"in","phase":"ended"})",
       "'direction' is neither incoming nor outgoing"},
      {"{" + good + R"(,"phase":"ringing","number":"1","number_status":"withheld"})",
       "both 'number' and 'number_status'"},
      {"{" + good + R"(,"phase":"ringing","name_status":"secret"})",
       "'name_status' is not withheld or unavailable"},
      {"{" + good + R"(,"phase":"ringing","name":"a\u0000b"})", "'name' holds a control character"},
      {"{" + good + R"(,"phase":"ringing","end_known":"no"})", "'end_known' is not true or false"},
      {"{" + good + R"(,"phase":"ringing","name":")" + std::string(129, 'x') + "\"}",
       "'name' is empty or longer than 128"},
      {std::string(1 << 20, ' '), "larger than 4096 bytes"},
      {"{" + good + R"(,"phase":"ringing","pad":")" + std::string(4096, 'x') + "\"}",
       "larger than 4096 bytes"},
      {std::string(2000, '[') + std::string(2000, ']'), "not a JSON object"},
      {"{\"origin\":\"d\xff\"}", "not JSON"},
  };
  for (const Case& c : cases) {
    const ParsedCallMessage parsed = ParseCallMessage(c.payload);
    EXPECT_FALSE(parsed.message) << c.payload.substr(0, 80);
    EXPECT_EQ(parsed.error, c.error) << c.payload.substr(0, 80);
  }
}

TEST(UtcTimeText, IsoSecondsInUtc) {
  EXPECT_EQ(UtcTimeText(0), "1970-01-01T00:00:00Z");
  EXPECT_EQ(UtcTimeText(1796911500), "2026-12-10T14:05:00Z");
}

}  // namespace
}  // namespace hushcall::ringwatch
