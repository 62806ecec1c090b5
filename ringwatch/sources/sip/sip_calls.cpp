// The SIP source's decisions on the stack's events.
#include "ringwatch/sources/sip/sip_calls.h"

#include <utility>

#include "common/status.h"
#include "settings/settings.h"

namespace hushcall::ringwatch {
namespace {

std::string UserAtDomain(const SipAccount& account) {
  return account.user + "@" + account.domain;
}

std::string Requests(std::size_t n) {
  return n == 1 ? "1 request" : std::to_string(n) + " requests";
}

}  // namespace

std::string SipWrongPasswordText(const SipAccount& account) {
  return "Hushcall could not sign in to SIP account " + UserAtDomain(account) +
         ": wrong user or password.";
}

std::string SipUnregisteredText(const SipAccount& account) {
  return "Hushcall could not register SIP account " + UserAtDomain(account) +
         ". It will try again until the phone system takes it.";
}

SipCalls::SipCalls(SipStackMaker makeStack, const SipAccount& account, CallClock& clock,
                   MessageBoxes& boxes, Log& log, std::function<void(const CallReport&)> report)
    : makeStack_(std::move(makeStack)),
      account_(account),
      where_(SipAccountText(account)),
      clock_(clock),
      boxes_(boxes),
      log_(log),
      report_(std::move(report)) {
  clock_.SetOnWake([this] {
    if (stack_ != nullptr) stack_->Register();
  });
}

SipCalls::~SipCalls() {
  clock_.SetOnWake(nullptr);
  clock_.CancelWake();
  // Unregisters; what it says while it goes is not heard.
  stack_.reset();
}

void SipCalls::Start() {
  stack_ = makeStack_([this](const SipEvent& event) { Take(event); });
  stack_->Register();
}

void SipCalls::RetryIn(int ms) {
  const Status status = StatusOf([&] {
    clock_.WakeAt(clock_.NowMs() + ms);
    return kOk;
  });
  if (Failed(status)) log_.Line("SIP account " + where_ + ": no timer to try again");
}

void SipCalls::Report(const SipEvent& event, CallPhase phase, bool endKnown) {
  CallReport report;
  report.source = kSipSource;
  report.id = event.callId;
  report.phase = phase;
  report.endKnown = endKnown;
  report.number = event.number;
  report.name = event.name;
  report.line = event.line;
  if (report_) report_(report);
}

void SipCalls::Take(const SipEvent& event) {
  switch (event.kind) {
    case SipEvent::Kind::kRegistered:
      // Each refresh says it again; only a change is news.
      if (!registered_) {
        log_.Line((everRegistered_ ? "SIP account " + where_ + " is registered again"
                                   : "SIP account " + where_ + " is registered") +
                  " (for " + std::to_string(event.expiresS) +
                  " s at a time); its calls quiet the music");
      }
      registered_ = everRegistered_ = true;
      wrongPasswordTold_ = false;
      retry_.Succeeded();
      break;
    case SipEvent::Kind::kWrongPassword:
      if (registered_) {
        // A registrar that took us and now refuses (restarted, with a new
        // secret for its nonces) is asked afresh before the password is
        // blamed.
        registered_ = false;
        log_.Line("SIP account " + where_ + ": the registrar refused a refresh; signing in afresh");
        RetryIn(kSipFirstRetryMs);
        break;
      }
      if (!wrongPasswordTold_) {
        const std::string text = SipWrongPasswordText(account_);
        log_.Line(text + " Trying again every " + std::to_string(kSipWrongPasswordRetryMs / 1000) +
                  " s.");
        boxes_.Show(text, kProductName, kMbExclamationOk);
        wrongPasswordTold_ = true;
      }
      RetryIn(kSipWrongPasswordRetryMs);
      break;
    case SipEvent::Kind::kRegisterFailed:
      registered_ = false;
      if (retry_.NewReason(event.why)) {
        log_.Line("SIP account " + where_ + ": " + event.why + "; trying again in " +
                  std::to_string(retry_.waitMs() / 1000) + " s, then less often");
      }
      RetryIn(retry_.NextWaitMs());
      if (retry_.TellOnce()) boxes_.Show(SipUnregisteredText(account_), kProductName, kMbExclamationOk);
      break;
    case SipEvent::Kind::kRinging:
      log_.Line("SIP: incoming call " + event.callId + " rings" +
                (event.line.empty() ? std::string() : " for " + event.line));
      Report(event, CallPhase::kRinging, true);
      break;
    case SipEvent::Kind::kCancelled:
      if (event.answeredElsewhere && dialogEvents_) {
        log_.Line("SIP: call " + event.callId + " was taken by another phone; its end comes "
                  "from the account's dialog events");
        takenElsewhere_.insert(event.callId);
        Report(event, CallPhase::kAnswered, true);
      } else if (event.answeredElsewhere) {
        // Without the account's dialog events nothing says when that call
        // ends: like a modem's, it counts as over soon, and the music is
        // left as it is.
        log_.Line("SIP: call " + event.callId + " was taken by another phone" +
                  (unknownEndTold_ ? std::string()
                                   : "; its end is not known (the account offers no dialog "
                                     "events), so the music is not put back after it"));
        unknownEndTold_ = true;
        Report(event, CallPhase::kAnswered, false);
      } else {
        log_.Line("SIP: call " + event.callId + " was missed; the caller gave up");
        Report(event, CallPhase::kEnded, true);
      }
      break;
    case SipEvent::Kind::kDialogEvents:
      if (event.heard && !dialogEvents_) {
        log_.Line("SIP: the account's dialog events are heard; a call another phone takes puts "
                  "the music back at its end");
        noDialogEventsWhy_.clear();
      } else if (!event.heard && event.why != noDialogEventsWhy_) {
        log_.Line("SIP: no dialog events for the account (" + event.why +
                  "); the end of a call another phone takes is not known");
        noDialogEventsWhy_ = event.why;
      }
      dialogEvents_ = event.heard;
      // Calls taken elsewhere whose end will not come now end unknown.
      if (!dialogEvents_) {
        for (const std::string& id : takenElsewhere_) {
          SipEvent lost = event;
          lost.callId = id;
          Report(lost, CallPhase::kAnswered, false);
        }
        takenElsewhere_.clear();
      }
      break;
    case SipEvent::Kind::kDialogEnded:
      if (takenElsewhere_.erase(event.callId) != 0) {
        log_.Line("SIP: call " + event.callId + " taken by another phone has ended");
        Report(event, CallPhase::kEnded, true);
      }
      break;
    case SipEvent::Kind::kRingingOver:
      log_.Line("SIP: call " + event.callId + " rang too long without an end; it counts as over");
      Report(event, CallPhase::kEnded, true);
      break;
    case SipEvent::Kind::kRefused:
      lastRefused_ = event.why;
      if (const std::size_t n = refused_.Drop(clock_.NowMs())) {
        log_.Line("SIP: refused " + Requests(n) + " from elsewhere than the registrar (403), " +
                  "the last from " + lastRefused_);
      }
      break;
    case SipEvent::Kind::kStackWarning:
      if (const std::size_t n = warnings_.Drop(clock_.NowMs())) {
        log_.Line(n == 1 ? "SIP stack: " + event.why
                         : "SIP stack: " + std::to_string(n) + " warnings, the last: " + event.why);
      }
      break;
  }
}

}  // namespace hushcall::ringwatch
