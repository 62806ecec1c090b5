// Reading callers and reasons from SIP requests.
#include "ringwatch/sources/sip/sip_message_reading.h"

#include <strings.h>

#include <string_view>

namespace hushcall::ringwatch {
namespace {

std::string_view View(const pl& text) { return {text.p == nullptr ? "" : text.p, text.l}; }

bool SameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// A display name as it shows: libre keeps a quoted one's escapes.
std::string DisplayName(std::string_view text) {
  std::string name;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) ++i;
    name.push_back(text[i]);
  }
  return name;
}

SipCaller CallerOfAddress(const pl& displayName, const uri& address) {
  SipCaller caller;
  const std::string_view user = View(address.user);
  const std::string name = DisplayName(View(displayName));
  const bool anonymous = SameWord(user, "anonymous") ||
                         SameWord(View(address.host), "anonymous.invalid") ||
                         SameWord(name, "anonymous");
  if (anonymous) {
    caller.number.kind = CallerDetail::Kind::kWithheld;
    caller.name.kind = CallerDetail::Kind::kWithheld;
    return caller;
  }
  if (!user.empty()) caller.number = CallerDetail::Known(std::string(user));
  if (!name.empty()) caller.name = CallerDetail::Known(name);
  return caller;
}

bool HasSipCause200(const sip_hdr* header, const sip_msg*, void*) {
  const std::string_view value = View(header->val);
  const std::size_t end = value.find_first_of("; \t");
  if (!SameWord(value.substr(0, end), "SIP")) return false;
  pl cause{};
  return ::msg_param_decode(&header->val, "cause", &cause) == 0 && View(cause) == "200";
}

}  // namespace

SipCaller CallerOf(const sip_msg& message) {
  if (const sip_hdr* asserted = ::sip_msg_hdr(&message, SIP_HDR_P_ASSERTED_IDENTITY)) {
    sip_addr address{};
    if (::sip_addr_decode(&address, &asserted->val) == 0) {
      return CallerOfAddress(address.dname, address.uri);
    }
  }
  return CallerOfAddress(message.from.dname, message.from.uri);
}

std::string CalledLineOf(const sip_msg& message) { return std::string(View(message.to.uri.user)); }

bool AnsweredElsewhere(const sip_msg& cancel) {
  return ::sip_msg_hdr_apply(&cancel, true, SIP_HDR_REASON, HasSipCause200, nullptr) != nullptr;
}

}  // namespace hushcall::ringwatch
