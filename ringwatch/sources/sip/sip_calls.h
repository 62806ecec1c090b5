// A SIP phone system as a call source: Hushcall registers as one more
// silent phone on the user's account, and each call that rings it is
// reported to the call model, from its ring to the CANCEL that ends it.
//
// The stack (SipStack) speaks SIP; this decides what its events mean:
//  - registered: logged when it starts or comes back, not at each refresh;
//  - wrong user or password: told once, tried again every 60 s; refused
//    after it was registered (a restarted registrar), signed in afresh first;
//  - any other failure: retried at 2 s doubling to 60 s, the outage told
//    once, each new reason logged once;
//  - a CANCEL ends the call, a missed one; with `Reason: SIP;cause=200`
//    another phone took it: with the account's dialog events heard its end
//    comes from them, without them it is not known, and the model then
//    leaves the music as it is;
//  - requests from elsewhere than the registrar: logged once a minute.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "ringwatch/calls/call_clock.h"
#include "ringwatch/calls/call_report.h"
#include "ringwatch/core/dropped_tally.h"
#include "ringwatch/core/message_boxes.h"
#include "ringwatch/core/retry_backoff.h"
#include "ringwatch/posix/log.h"
#include "ringwatch/sources/sip/sip_stack.h"

namespace hushcall::ringwatch {

inline constexpr char kSipSource[] = "sip";
inline constexpr int kSipFirstRetryMs = 2000;
inline constexpr int kSipLastRetryMs = 60000;
// Wrong credentials are tried again this often: a registrar that counts
// failures must not lock the account.
inline constexpr int kSipWrongPasswordRetryMs = 60000;
inline constexpr std::int64_t kSipRefusedLogMs = 60000;

// Told once when the registrar refuses the account's credentials.
std::string SipWrongPasswordText(const SipAccount& account);
// Told once when the account cannot be registered for another reason.
std::string SipUnregisteredText(const SipAccount& account);

class SipCalls {
 public:
  // `clock` times the retries and the log's tally; `forget` runs when the
  // stack goes with calls in progress. Everything given must outlive this.
  SipCalls(SipStackMaker makeStack, const SipAccount& account, CallClock& clock,
           MessageBoxes& boxes, Log& log, std::function<void(const CallReport&)> report);
  ~SipCalls();
  SipCalls(const SipCalls&) = delete;
  SipCalls& operator=(const SipCalls&) = delete;

  // Makes the stack and registers. Throws Failure when the stack cannot be
  // made.
  void Start();
  void Take(const SipEvent& event);

  bool registered() const { return registered_; }

 private:
  void RetryIn(int ms);
  void Report(const SipEvent& event, CallPhase phase, bool endKnown);

  SipStackMaker makeStack_;
  const SipAccount account_;
  const std::string where_;  // the account, for the log
  CallClock& clock_;
  MessageBoxes& boxes_;
  Log& log_;
  std::function<void(const CallReport&)> report_;

  bool registered_ = false;
  bool everRegistered_ = false;
  bool wrongPasswordTold_ = false;
  bool unknownEndTold_ = false;
  bool dialogEvents_ = false;
  std::string noDialogEventsWhy_;  // logged once a reason
  std::set<std::string> takenElsewhere_;  // calls whose end the dialog events tell
  RetryBackoff retry_{kSipFirstRetryMs, kSipLastRetryMs};
  DroppedTally refused_{kSipRefusedLogMs};
  std::string lastRefused_;
  DroppedTally warnings_{kSipRefusedLogMs};  // the stack's, as bounded as strangers
  std::unique_ptr<SipStack> stack_;  // last: it goes first, and its events with it
};

}  // namespace hushcall::ringwatch
