// Callers, called lines and CANCEL reasons from requests as phone systems
// send them, decoded by libre from their text.
#include "ringwatch/sources/sip/sip_message_reading.h"

#include <gtest/gtest.h>

#include <string>

#include "ringwatch/sources/sip/re_handles.h"

namespace hushcall::ringwatch {
namespace {

// A request of `method` with the given headers after the usual ones.
ReRef<sip_msg> Decode(const std::string& method, const std::string& headers) {
  const std::string text = method + " sip:hushcall@127.0.0.1:5070 SIP/2.0\r\n"
                           "Via: SIP/2.0/UDP 127.0.0.1:5060;branch=z9hG4bK1\r\n"
                           "To: <sip:604@pbx.lan>\r\n"
                           "Call-ID: c1@pbx\r\n"
                           "CSeq: 1 " + method + "\r\n" + headers +
                           "Content-Length: 0\r\n\r\n";
  ReRef<mbuf> buffer(::mbuf_alloc(text.size()));
  ::mbuf_write_str(buffer.get(), text.c_str());
  buffer->pos = 0;
  ReRef<sip_msg> message;
  EXPECT_EQ(::sip_msg_decode(message.out(), buffer.get()), 0) << text;
  return message;
}

std::string Text(const CallerDetail& detail) {
  switch (detail.kind) {
    case CallerDetail::Kind::kKnown: return detail.text;
    case CallerDetail::Kind::kWithheld: return "(withheld)";
    case CallerDetail::Kind::kUnavailable: return "(unavailable)";
    case CallerDetail::Kind::kUnknown: break;
  }
  return "(unknown)";
}

TEST(SipMessageReading, TheCallerIsTheAssertedIdentityElseFromAndAnonymousIsWithheld) {
  struct Case {
    std::string headers;
    std::string number;
    std::string name;
  };
  const std::vector<Case> cases = {
      {"From: \"Ann Lee\" <sip:+4930123@pbx.lan>;tag=1\r\n", "+4930123", "Ann Lee"},
      {"From: <sip:201@pbx.lan>;tag=1\r\n", "201", "(unknown)"},
      {"From: sip:201@pbx.lan;tag=1\r\n", "201", "(unknown)"},
      {"From: \"Say \\\"hi\\\"\" <sip:201@pbx.lan>;tag=1\r\n", "201", "Say \"hi\""},
      // The phone system's word wins over what the caller claims.
      {"From: \"Trunk\" <sip:trunk@pbx.lan>;tag=1\r\n"
       "P-Asserted-Identity: \"Bob\" <sip:0301234@pbx.lan;user=phone>\r\n",
       "0301234", "Bob"},
      {"From: \"Anonymous\" <sip:anonymous@anonymous.invalid>;tag=1\r\n", "(withheld)",
       "(withheld)"},
      {"From: <sip:anonymous@pbx.lan>;tag=1\r\n", "(withheld)", "(withheld)"},
      {"From: \"Anonymous\" <sip:trunk@pbx.lan>;tag=1\r\n", "(withheld)", "(withheld)"},
      // An identity that cannot be read leaves From.
      {"From: <sip:201@pbx.lan>;tag=1\r\nP-Asserted-Identity: <<<\r\n", "201", "(unknown)"},
  };
  for (const Case& c : cases) {
    const ReRef<sip_msg> invite = Decode("INVITE", c.headers);
    ASSERT_TRUE(invite) << c.headers;
    const SipCaller caller = CallerOf(*invite);
    EXPECT_EQ(Text(caller.number), c.number) << c.headers;
    EXPECT_EQ(Text(caller.name), c.name) << c.headers;
    EXPECT_EQ(CalledLineOf(*invite), "604");
  }
}

TEST(SipMessageReading, OnlyASipCause200MeansAnsweredElsewhere) {
  const std::string from = "From: <sip:201@pbx.lan>;tag=1\r\n";
  EXPECT_TRUE(AnsweredElsewhere(
      *Decode("CANCEL", from + "Reason: SIP;cause=200;text=\"Call completed elsewhere\"\r\n")));
  EXPECT_TRUE(AnsweredElsewhere(
      *Decode("CANCEL", from + "Reason: Q.850;cause=16\r\nReason: SIP ;cause=200\r\n")));
  EXPECT_FALSE(AnsweredElsewhere(*Decode("CANCEL", from)));
  EXPECT_FALSE(AnsweredElsewhere(*Decode("CANCEL", from + "Reason: SIP;cause=487\r\n")));
  EXPECT_FALSE(AnsweredElsewhere(*Decode("CANCEL", from + "Reason: Q.850;cause=200\r\n")));
  EXPECT_FALSE(AnsweredElsewhere(*Decode("CANCEL", from + "Reason: SIPX;cause=200\r\n")));
  EXPECT_FALSE(AnsweredElsewhere(*Decode("CANCEL", from + "Reason: garbage\r\n")));
}

}  // namespace
}  // namespace hushcall::ringwatch
