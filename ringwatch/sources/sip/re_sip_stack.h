// The SIP stack on libre (baresip's own), running libre's loop (re_main) in
// a thread of its own: libre keeps its descriptors in that loop and offers
// no way to poll them from ours. Calls cross between the threads in two
// queues: the source's requests on libre's mqueue, the stack's events on a
// locked queue whose eventfd our loop watches.
//
// On the stack's thread:
//  - registration: sipreg with the registrar's expiry, refreshed by libre;
//    without SipRegistrar, libre finds the registrar through DNS itself;
//  - TLS for a sips: account or transport=tls, the registrar's certificate
//    checked here, as libre 1.1.0 does not;
//    a failure drops it, and the source says when to try again;
//  - requests only from the registrar's addresses, others answered 403;
//  - an INVITE answered 180 and never more; its CANCEL answered 487 by the
//    server transaction; a call that rings 3 minutes with no end answered
//    480, which ends this phone's part alone (a 6xx would end the call on
//    every phone);
//  - OPTIONS (a registrar's keepalive) answered 200;
//  - once registered, the account's dialog events (RFC 4235) subscribed to,
//    where the system offers them: they say when a call that another phone
//    took is over.
// Destruction unregisters, waiting at most kSipStopMs for the registrar.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "common/posix/unique_fd.h"
#include "ringwatch/posix/event_loop.h"
#include "ringwatch/posix/log.h"
#include "ringwatch/sources/sip/sip_stack.h"

namespace hushcall::ringwatch {

inline constexpr int kSipStopMs = 2000;
inline constexpr int kSipRingingMaxMs = 180000;

class ReSipStack final : public SipStack {
 public:
  // Throws Failure when the thread, its queue or the eventfd cannot be
  // made. The loop must outlive it.
  ReSipStack(EventLoop& loop, SipStackConfig config, std::function<void(const SipEvent&)> events);
  ~ReSipStack() override;
  ReSipStack(const ReSipStack&) = delete;
  ReSipStack& operator=(const ReSipStack&) = delete;

  void Register() override;

  class Thread;  // what lives on the stack's thread

 private:
  // On the service's loop: the events that came.
  void Deliver();

  std::function<void(const SipEvent&)> events_;
  posix::UniqueFd wake_;
  std::mutex mutex_;
  std::deque<SipEvent> pending_;  // guarded by mutex_
  EventLoop::Watch watch_;
  std::unique_ptr<Thread> thread_;
  std::thread runner_;
};

}  // namespace hushcall::ringwatch
