// The call message as any machine on the broker may send it: whatever the
// payload, a message taken has a machine's topic level as its origin and
// texts within their bounds, and what we would send again of it reads back
// as the same message (without the caller, with its details unknown).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ringwatch/sources/mqtt/call_message.h"
#include "ringwatch/sources/mqtt/line_state.h"
#include "ringwatch/sources/mqtt/mqtt_topics.h"

namespace {

using hushcall::ringwatch::CallerDetail;
using hushcall::ringwatch::CallMessage;
using hushcall::ringwatch::ParsedCallMessage;

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckDetail(const CallerDetail& detail) {
  Check(detail.known() == !detail.text.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view payload(reinterpret_cast<const char*>(data), size);
  hushcall::ringwatch::ParseLineState(payload);
  const ParsedCallMessage parsed = hushcall::ringwatch::ParseCallMessage(payload);
  Check(parsed.message.has_value() == parsed.error.empty());
  if (!parsed.message) return 0;
  const CallMessage& message = *parsed.message;
  Check(hushcall::ringwatch::IsTopicLevel(message.origin));
  Check(!message.report.source.empty() && !message.report.id.empty());
  CheckDetail(message.report.number);
  CheckDetail(message.report.name);
  const ParsedCallMessage again =
      hushcall::ringwatch::ParseCallMessage(hushcall::ringwatch::EncodeCallMessage(message, true));
  Check(again.message == message);
  const ParsedCallMessage anonymous =
      hushcall::ringwatch::ParseCallMessage(hushcall::ringwatch::EncodeCallMessage(message, false));
  Check(anonymous.message.has_value());
  CallMessage withoutCaller = message;
  withoutCaller.report.number = {};
  withoutCaller.report.name = {};
  Check(anonymous.message == withoutCaller);
  return 0;
}
