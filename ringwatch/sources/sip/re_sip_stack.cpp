// libre's SIP stack on a thread of its own, and the hand-over of its
// events to the service's loop.
#include "ringwatch/sources/sip/re_sip_stack.h"

#include <netdb.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// libre's debug header wants these two; its macros are not used here.
#define DEBUG_MODULE "hushcall"
#define DEBUG_LEVEL 0
#include <re_dbg.h>

#include "common/status.h"
#include "ringwatch/posix/errno_status.h"
#include "ringwatch/posix/peer_certificate.h"
#include "ringwatch/sources/sip/dialog_info.h"
#include "ringwatch/sources/sip/re_handles.h"
#include "ringwatch/sources/sip/sip_message_reading.h"

namespace hushcall::ringwatch {
namespace {

enum Command { kRegisterCommand = 1, kStopCommand = 2 };

// Asked of the registrar; it answers with what it grants, and libre
// refreshes before that runs out.
constexpr std::uint32_t kAskedExpiresS = 3600;

std::string_view View(const pl& text) { return {text.p == nullptr ? "" : text.p, text.l}; }

std::string AddressText(const sa& address, bool withPort) {
  char text[64] = "";
  ::re_snprintf(text, sizeof text, withPort ? "%J" : "%j", &address);
  return text;
}

const char* TransportName(SipTransport transport) {
  return transport == SipTransport::kTcp ? "tcp" : transport == SipTransport::kTls ? "tls" : "udp";
}

// The address this machine sends to `to` from, port left open.
int SourceAddressFor(const sa& to, sa& local) {
  posix::UniqueFd probe(::socket(::sa_af(&to), SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!probe) return errno;
  if (::connect(probe.get(), &to.u.sa, to.len) != 0) return errno;
  sockaddr_storage mine{};
  socklen_t length = sizeof mine;
  if (::getsockname(probe.get(), reinterpret_cast<sockaddr*>(&mine), &length) != 0) return errno;
  ::sa_set_sa(&local, reinterpret_cast<sockaddr*>(&mine));
  ::sa_set_port(&local, 0);
  return 0;
}

}  // namespace

class ReSipStack::Thread {
 public:
  Thread(SipStackConfig config, std::function<void(SipEvent)> emit)
      : config_(std::move(config)), emit_(std::move(emit)) {
    ::tmr_init(&stopTimer_);
    ::tmr_init(&dropTimer_);
    ::tmr_init(&unsubscribedTimer_);
  }

  // The stack's thread: set up, tell `ready`, run until stopped.
  void Run(std::promise<int>& ready) {
    int error = ::libre_init();
    // libre's warnings (a failed TLS handshake, say) would go to stderr
    // in colour, between our lines: they come to the log as events.
    ::dbg_init(DBG_WARNING, DBG_NONE);
    ::dbg_handler_set(OnWarning, this);
    if (error == 0) error = ::mqueue_alloc(queue_.out(), OnCommand, this);
    ready.set_value(error);
    if (error == 0) ::re_main(nullptr);
    ::tmr_cancel(&stopTimer_);
    ::tmr_cancel(&dropTimer_);
    ::tmr_cancel(&unsubscribedTimer_);
    Drop();
    queue_.reset();
    ::libre_close();
    ::dbg_handler_set(nullptr, nullptr);
  }

  // From the service's loop.
  void Push(Command command) { ::mqueue_push(queue_.get(), command, nullptr); }

 private:
  struct Call {
    Thread* thread = nullptr;
    std::string id;
    ReRef<sip_msg> invite;
    ReRef<sip_strans> transaction;
    tmr ringing{};
    ~Call() { ::tmr_cancel(&ringing); }
  };

  // libre's callbacks come through C: an exception (bad_alloc) ends the
  // process here rather than unwinding through libre.
  static void OnCommand(int id, void*, void* arg) noexcept {
    auto* self = static_cast<Thread*>(arg);
    if (id == kRegisterCommand) self->Register();
    if (id == kStopCommand) self->Stop();
  }

  // One warning, as one printable line: it may quote what came from the
  // network.
  static void OnWarning(int, const char* text, std::size_t length, void* arg) noexcept {
    SipEvent event;
    event.kind = SipEvent::Kind::kStackWarning;
    for (const char c : std::string_view(text, length)) {
      event.why.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? ' ' : c);
    }
    while (!event.why.empty() && event.why.back() == ' ') event.why.pop_back();
    if (!event.why.empty()) static_cast<Thread*>(arg)->emit_(std::move(event));
  }

  void Failed(std::string why) {
    SipEvent event;
    event.kind = SipEvent::Kind::kRegisterFailed;
    event.why = std::move(why);
    emit_(std::move(event));
  }

  // Everything of the last registration, the calls ringing included: they
  // count as over, how is not known.
  void Drop() {
    for (const std::unique_ptr<Call>& call : calls_) {
      SipEvent event;
      event.kind = SipEvent::Kind::kRingingOver;
      event.callId = call->id;
      emit_(std::move(event));
    }
    calls_.clear();
    listener_.reset();
    // Let go of before the close, which aborts the unregister and
    // unsubscribe they may send (for the old contact alone) and with it
    // frees them, and their hold on the stack.
    registration_.reset();
    subscription_.reset();
    if (sip_) ::sip_close(sip_.get(), true);
    eventSocket_.reset();
    sip_.reset();
    dnsClient_.reset();
    tls_.reset();
    allowed_.clear();
  }

  void Register() {
    ::tmr_cancel(&dropTimer_);
    ::tmr_cancel(&unsubscribedTimer_);
    Drop();
    challenged_ = false;
    std::string why = SetUpTls();
    if (why.empty()) why = config_.findRegistrar ? SetUpToFind() : SetUpAtRegistrar();
    int error = 0;
    if (why.empty()) {
      ::sip_set_trace_handler(sip_.get(), OnTrace);
      error = ::sip_listen(listener_.out(), sip_.get(), true, OnRequest, this);
      if (error != 0) why = std::string("SIP could not be set up (") + std::strerror(error) + ")";
    }
    if (!why.empty()) {
      Drop();
      return Failed(std::move(why));
    }
    const std::string scheme = config_.account.sips ? "sips:" : "sip:";
    const std::string aor = SipAccountText(config_.account);
    const std::string requestUri = scheme + HostText(config_.account.domain);
    const char* routes[] = {route_.c_str()};
    error = ::sipreg_register(registration_.out(), sip_.get(), requestUri.c_str(), aor.c_str(),
                              nullptr, aor.c_str(), kAskedExpiresS, config_.account.user.c_str(),
                              routes, RouteCount(), 0, OnAuth, this, false, OnRegisterAnswer, this,
                              nullptr, nullptr);
    if (error != 0) {
      Drop();
      return Failed(std::string("the REGISTER could not be sent (") + std::strerror(error) + ")");
    }
  }

  static std::string HostText(const std::string& host) {
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
  }

  // The registrar as the outbound proxy where it is given; none where
  // libre finds it from the request's domain.
  std::uint32_t RouteCount() const { return route_.empty() ? 0 : 1; }

  // SipRegistrar given: its name looked up (A/AAAA alone where a port is
  // given), the stack bound where this machine sends to it from, and only
  // its addresses may send requests. Returns why it failed, or nothing.
  std::string SetUpAtRegistrar() {
    const SipRegistrar& registrar = config_.registrar;
    const bool udp = registrar.transport == SipTransport::kUdp;
    const bool tls = registrar.transport == SipTransport::kTls;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = udp ? SOCK_DGRAM : SOCK_STREAM;
    addrinfo* found = nullptr;
    const int lookup = ::getaddrinfo(registrar.host.c_str(), std::to_string(registrar.port).c_str(),
                                     &hints, &found);
    if (lookup != 0) {
      return "the registrar " + registrar.host + " was not found (" + ::gai_strerror(lookup) + ")";
    }
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
      sa address{};
      if (::sa_set_sa(&address, a->ai_addr) == 0) allowed_.push_back(address);
    }
    ::freeaddrinfo(found);
    if (allowed_.empty()) return "the registrar " + registrar.host + " has no address";
    const sa& target = allowed_.front();
    sa local{};
    if (const int error = SourceAddressFor(target, local)) {
      return "the registrar at " + AddressText(target, true) + " cannot be reached (" +
             std::strerror(error) + ")";
    }
    int error = ::sip_alloc(sip_.out(), nullptr, 16, 16, 16, "Hushcall", OnExit, this);
    if (error == 0) {
      error = tls   ? ::sip_transp_add(sip_.get(), SIP_TRANSP_TLS, &local, tls_.get())
              : udp ? ::sip_transp_add(sip_.get(), SIP_TRANSP_UDP, &local)
                    : ::sip_transp_add(sip_.get(), SIP_TRANSP_TCP, &local);
    }
    if (error != 0) return std::string("SIP could not be set up (") + std::strerror(error) + ")";
    // Its address is the one looked up, and the one that requests may come
    // from. libre adds the <...;lr>.
    route_ =
        "sip:" + AddressText(target, true) + ";transport=" + TransportName(registrar.transport);
    return {};
  }

  // No SipRegistrar: libre finds the registrar from the account's domain
  // with a DNS client of its own (NAPTR, SRV, then A/AAAA), again at each
  // refresh. Requests may come from where it answered from.
  std::string SetUpToFind() {
    sa servers[8] = {};
    std::uint32_t count = 8;
    if (!config_.nameServer.empty()) {
      const std::string& text = config_.nameServer;
      if (::sa_decode(&servers[0], text.data(), text.size()) != 0 &&
          ::sa_set_str(&servers[0], text.c_str(), 53) != 0) {
        return "the name server " + text + " is not an address";
      }
      count = 1;
    } else {
      char searchDomain[256] = "";
      if (const int error = ::dns_srv_get(searchDomain, sizeof searchDomain, servers, &count);
          error != 0 || count == 0) {
        return std::string("no name server is known (") + std::strerror(error ? error : ENOENT) +
               ")";
      }
    }
    int error = ::dnsc_alloc(dnsClient_.out(), nullptr, servers, count);
    if (error == 0) {
      error = ::sip_alloc(sip_.out(), dnsClient_.get(), 16, 16, 16, "Hushcall", OnExit, this);
    }
    // libre takes the first transport of the registrar's address family:
    // one of each kind per family, bound where this machine sends from by
    // default; on loopback when it has no route out.
    bool bound = false;
    for (const int family : {AF_INET, AF_INET6}) {
      sa local{};
      if (error != 0 || ::net_default_source_addr_get(family, &local) != 0 ||
          !::sa_isset(&local, SA_ADDR) || ::sa_is_any(&local) || ::sa_is_linklocal(&local)) {
        continue;
      }
      ::sa_set_port(&local, 0);
      error = AddTransports(local);
      bound = error == 0;
    }
    if (error == 0 && !bound) {
      sa loopback{};
      ::sa_set_str(&loopback, "127.0.0.1", 0);
      error = AddTransports(loopback);
    }
    if (error != 0) return std::string("SIP could not be set up (") + std::strerror(error) + ")";
    // A sips: account is reached over TLS alone (SRV _sips._tcp); libre
    // takes a transport from a sip: route only.
    route_ = config_.account.sips ? "sip:" + HostText(config_.account.domain) + ";transport=tls"
                                  : std::string();
    return {};
  }

  // What the account's scheme may use, as RFC 3263 queries for it: TLS
  // (_sips._tcp) for a sips: account, UDP and TCP (_sip._udp, _sip._tcp)
  // for a sip: one.
  int AddTransports(const sa& local) {
    if (config_.account.sips) {
      return ::sip_transp_add(sip_.get(), SIP_TRANSP_TLS, &local, tls_.get());
    }
    int error = ::sip_transp_add(sip_.get(), SIP_TRANSP_UDP, &local);
    if (error == 0) error = ::sip_transp_add(sip_.get(), SIP_TRANSP_TCP, &local);
    return error;
  }

  // TLS as a client: libre 1.1.0 checks neither the registrar's chain nor
  // its name, so its OpenSSL context is told to, against the system's CAs
  // (and the tests' own) and the name the registrar was asked for: the
  // account's domain where DNS found it (RFC 5922), else SipRegistrar's host.
  std::string SetUpTls() {
    certificateRefused_.clear();
    if (config_.registrar.transport != SipTransport::kTls) return {};
    const std::string& name =
        config_.findRegistrar ? config_.account.domain : config_.registrar.host;
    if (const int error = ::tls_alloc(tls_.out(), TLS_METHOD_SSLV23, nullptr, nullptr)) {
      return std::string("TLS could not be set up (") + std::strerror(error) + ")";
    }
    SSL_CTX* context = ::tls_openssl_context(tls_.get());
    std::string why;
    if (::SSL_CTX_set_default_verify_paths(context) != 1) {
      why = "the system's certificate authorities could not be read";
    } else if (!config_.caFile.empty() && ::tls_add_ca(tls_.get(), config_.caFile.c_str()) != 0) {
      why = "the certificate authority " + config_.caFile + " could not be read";
    } else {
      ::X509_VERIFY_PARAM_set_hostflags(::SSL_CTX_get0_param(context),
                                        X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
      // The first refusal is kept to say why the registration failed.
      if (!CheckPeerCertificate(context, name, &certificateRefused_)) {
        why = "TLS could not be set up for " + name;
      }
    }
    if (!why.empty()) {
      ::ERR_clear_error();
      tls_.reset();
      return why;
    }
    return {};
  }

  // Unregisters and lets the registrar answer, for kSipStopMs at most.
  void Stop() {
    // This phone leaves the calls that ring it; the others ring on.
    for (const std::unique_ptr<Call>& call : calls_) {
      ::sip_treply(call->transaction.slot(), sip_.get(), call->invite.get(), 480,
                   "Temporarily Unavailable");
    }
    calls_.clear();
    listener_.reset();
    registration_.reset();  // sends the unregister when registered
    subscription_.reset();  // and the unsubscribe
    if (!sip_) return ::re_cancel();
    ::tmr_start(&stopTimer_, kSipStopMs, [](void*) noexcept { ::re_cancel(); }, nullptr);
    // Takes a reference, given back at OnExit once the last transaction ends.
    ::sip_close(sip_.get(), false);
  }

  static void OnExit(void*) noexcept { ::re_cancel(); }

  static int OnAuth(char** user, char** password, const char*, void* arg) noexcept {
    auto* self = static_cast<Thread*>(arg);
    // Without a password a challenge cannot be met: the registrar then
    // refuses, as for a wrong one.
    if (self->config_.password.empty()) return EAUTH;
    // libre answers every challenge anew, up to 16 times: a second one
    // since the last success means the credentials were refused.
    if (self->challenged_) return EAUTH;
    self->challenged_ = true;
    int error = ::str_dup(user, self->config_.user.c_str());
    if (error == 0) error = ::str_dup(password, self->config_.password.c_str());
    return error;
  }

  static void OnRegisterAnswer(int error, const sip_msg* answer, void* arg) noexcept {
    auto* self = static_cast<Thread*>(arg);
    SipEvent event;
    if (error == 0 && answer != nullptr && answer->scode >= 200 && answer->scode < 300) {
      event.kind = SipEvent::Kind::kRegistered;
      self->challenged_ = false;
      // The registrar found through DNS is known by its answer.
      if (self->config_.findRegistrar && !self->Allowed(answer->src)) {
        self->allowed_.push_back(answer->src);
      }
      event.expiresS = static_cast<int>(::sipreg_proxy_expires(self->registration_.get()));
      self->emit_(std::move(event));
      if (!self->subscription_) self->Subscribe();
      return;
    }
    if (error == 0 && answer != nullptr &&
        (answer->scode == 401 || answer->scode == 403 || answer->scode == 407)) {
      event.kind = SipEvent::Kind::kWrongPassword;
    } else {
      event.kind = SipEvent::Kind::kRegisterFailed;
      const std::string& name = self->config_.findRegistrar ? self->config_.account.domain
                                                            : self->config_.registrar.host;
      event.why = error != 0 && !self->certificateRefused_.empty()
                      ? "the registrar's certificate was refused for " + name + " (" +
                            self->certificateRefused_ + ")"
                  : error != 0 && error != ETIMEDOUT && self->config_.findRegistrar
                      ? "no registrar of " + self->config_.account.domain +
                            " was found or reached (" + std::strerror(error) + ")"
                  : error != 0 ? std::string("the registrar did not answer (") +
                                     std::strerror(error) + ")"
                  : answer != nullptr
                      ? "the registrar answered " + std::to_string(answer->scode) + " " +
                            std::string(View(answer->reason))
                      : std::string("the registration failed");
    }
    self->certificateRefused_.clear();
    self->emit_(std::move(event));
    // libre would try again on its own; the source says when. Dropped once
    // this answer is done with.
    ::tmr_start(&self->dropTimer_, 0, [](void* arg) noexcept {
      static_cast<Thread*>(arg)->registration_.reset();
    }, self);
  }

  // The account's dialog events, asked for once it is registered.
  void Subscribe() {
    int error = 0;
    if (!eventSocket_) {
      error = ::sipevent_listen(eventSocket_.out(), sip_.get(), 16, 16, nullptr, nullptr);
    }
    const std::string aor = SipAccountText(config_.account);
    const char* routes[] = {route_.c_str()};
    subscriptionChallenged_ = false;
    if (error == 0) {
      error = ::sipevent_subscribe(subscription_.out(), eventSocket_.get(), aor.c_str(), nullptr,
                                   aor.c_str(), "dialog", nullptr, kAskedExpiresS,
                                   config_.account.user.c_str(), routes, RouteCount(),
                                   OnSubscriptionAuth,
                                   this, false, nullptr, OnNotify, OnSubscriptionClosed, this,
                                   "Accept: application/dialog-info+xml\r\n");
    }
    if (error != 0) {
      SipEvent event;
      event.kind = SipEvent::Kind::kDialogEvents;
      event.why = std::string("they could not be asked for (") + std::strerror(error) + ")";
      emit_(std::move(event));
    }
  }

  static int OnSubscriptionAuth(char** user, char** password, const char*, void* arg) noexcept {
    auto* self = static_cast<Thread*>(arg);
    if (self->config_.password.empty() || self->subscriptionChallenged_) return EAUTH;
    self->subscriptionChallenged_ = true;
    int error = ::str_dup(user, self->config_.user.c_str());
    if (error == 0) error = ::str_dup(password, self->config_.password.c_str());
    return error;
  }

  static void OnNotify(sip* stack, const sip_msg* notify, void* arg) noexcept {
    auto* self = static_cast<Thread*>(arg);
    ::sip_treply(nullptr, stack, notify, 200, "OK");
    self->subscriptionChallenged_ = false;
    if (!self->dialogEventsHeard_) {
      self->dialogEventsHeard_ = true;
      SipEvent event;
      event.kind = SipEvent::Kind::kDialogEvents;
      event.heard = true;
      self->emit_(std::move(event));
    }
    if (!::msg_ctype_cmp(&notify->ctyp, "application", "dialog-info+xml")) return;
    const std::string_view body(reinterpret_cast<const char*>(::mbuf_buf(notify->mb)),
                                ::mbuf_get_left(notify->mb));
    for (const DialogState& dialog : ReadDialogInfo(body)) {
      if (dialog.state != "terminated") continue;
      SipEvent event;
      event.kind = SipEvent::Kind::kDialogEnded;
      event.callId = dialog.callId;
      self->emit_(std::move(event));
    }
  }

  static void OnSubscriptionClosed(int error, const sip_msg* answer, const sipevent_substate*,
                                   void* arg) noexcept {
    auto* self = static_cast<Thread*>(arg);
    SipEvent event;
    event.kind = SipEvent::Kind::kDialogEvents;
    event.why = error != 0 ? std::string("the subscription failed (") + std::strerror(error) + ")"
                : answer != nullptr && answer->scode >= 300
                    ? "the phone system answered " + std::to_string(answer->scode) + " " +
                          std::string(View(answer->reason))
                    : std::string("the phone system ended the subscription");
    self->dialogEventsHeard_ = false;
    self->emit_(std::move(event));
    // Asked for again at the registration's next refresh; dropped once
    // libre is done with it.
    ::tmr_start(&self->unsubscribedTimer_, 0, [](void* arg) noexcept {
      static_cast<Thread*>(arg)->subscription_.reset();
    }, self);
  }

  // Every message as it arrives: the CANCEL's reason is read here, as the
  // server transaction answers a CANCEL before any listener sees it.
  static void OnTrace(bool sent, sip_transp, const sa*, const sa*, const std::uint8_t* bytes,
                      std::size_t length, void* arg) noexcept {
    auto* self = static_cast<Thread*>(arg);
    if (sent || length < 7 || std::memcmp(bytes, "CANCEL ", 7) != 0) return;
    ReRef<mbuf> buffer(::mbuf_alloc(length));
    if (!buffer || ::mbuf_write_mem(buffer.get(), bytes, length) != 0) return;
    buffer->pos = 0;
    ReRef<sip_msg> cancel;
    if (::sip_msg_decode(cancel.out(), buffer.get()) != 0) return;
    self->cancelledId_ = std::string(View(cancel->callid));
    self->cancelledElsewhere_ = AnsweredElsewhere(*cancel);
  }

  bool Allowed(const sa& from) const {
    return std::any_of(allowed_.begin(), allowed_.end(),
                       [&](const sa& a) { return ::sa_cmp(&from, &a, SA_ADDR); });
  }

  static bool OnRequest(const sip_msg* request, void* arg) noexcept {
    auto* self = static_cast<Thread*>(arg);
    sip* stack = self->sip_.get();
    if (!self->Allowed(request->src)) {
      ::sip_reply(stack, request, 403, "Forbidden");
      SipEvent event;
      event.kind = SipEvent::Kind::kRefused;
      event.why = AddressText(request->src, false);
      self->emit_(std::move(event));
      return true;
    }
    if (::pl_strcmp(&request->met, "OPTIONS") == 0) {
      ::sip_reply(stack, request, 200, "OK");
      return true;
    }
    if (::pl_strcmp(&request->met, "INVITE") != 0) return false;  // libre answers 501
    // No dialog is ever made, so a request inside one is not ours.
    if (::pl_isset(&request->to.tag)) {
      ::sip_reply(stack, request, 481, "Call/Transaction Does Not Exist");
      return true;
    }
    self->Ring(*request);
    return true;
  }

  void Ring(const sip_msg& request) {
    auto call = std::make_unique<Call>();
    call->thread = this;
    call->id = std::string(View(request.callid));
    call->invite.reset(static_cast<sip_msg*>(::mem_ref(const_cast<sip_msg*>(&request))));
    if (::sip_strans_alloc(call->transaction.out(), sip_.get(), &request, OnCancel, call.get()) !=
            0 ||
        ::sip_treply(call->transaction.slot(), sip_.get(), &request, 180, "Ringing") != 0) {
      return;
    }
    ::tmr_start(&call->ringing, kSipRingingMaxMs, OnRangTooLong, call.get());
    SipEvent event;
    event.kind = SipEvent::Kind::kRinging;
    event.callId = call->id;
    const SipCaller caller = CallerOf(request);
    event.number = caller.number;
    event.name = caller.name;
    event.line = CalledLineOf(request);
    calls_.push_back(std::move(call));
    emit_(std::move(event));
  }

  // Ends the call with `code`, a 4xx: the other phones ring on.
  void End(Call* call, std::uint16_t code, const char* reason, SipEvent event) {
    ::sip_treply(call->transaction.slot(), sip_.get(), call->invite.get(), code, reason);
    event.callId = call->id;
    calls_.erase(std::find_if(calls_.begin(), calls_.end(),
                              [&](const std::unique_ptr<Call>& c) { return c.get() == call; }));
    emit_(std::move(event));
  }

  static void OnCancel(void* arg) noexcept {
    auto* call = static_cast<Call*>(arg);
    Thread* self = call->thread;
    SipEvent event;
    event.kind = SipEvent::Kind::kCancelled;
    event.answeredElsewhere = self->cancelledId_ == call->id && self->cancelledElsewhere_;
    self->End(call, 487, "Request Terminated", std::move(event));
  }

  static void OnRangTooLong(void* arg) noexcept {
    auto* call = static_cast<Call*>(arg);
    SipEvent event;
    event.kind = SipEvent::Kind::kRingingOver;
    call->thread->End(call, 480, "Temporarily Unavailable", std::move(event));
  }

  const SipStackConfig config_;
  std::function<void(SipEvent)> emit_;
  ReRef<mqueue> queue_;
  ReRef<dnsc> dnsClient_;  // where the registrar is found through DNS
  ReRef<tls> tls_;         // where it may be reached over TLS
  std::string certificateRefused_;  // why, since the last try
  ReRef<sip> sip_;
  ReRef<sip_lsnr> listener_;
  ReRef<sipreg> registration_;
  ReRef<sipevent_sock> eventSocket_;
  ReRef<sipsub> subscription_;
  std::string route_;  // the registrar as outbound proxy; empty: found from the domain
  bool subscriptionChallenged_ = false;
  bool dialogEventsHeard_ = false;
  std::vector<sa> allowed_;
  std::vector<std::unique_ptr<Call>> calls_;
  std::string cancelledId_;
  bool cancelledElsewhere_ = false;
  bool challenged_ = false;  // credentials given since the last success
  tmr stopTimer_{};
  tmr dropTimer_{};
  tmr unsubscribedTimer_{};
};

ReSipStack::ReSipStack(EventLoop& loop, SipStackConfig config,
                       std::function<void(const SipEvent&)> events)
    : events_(std::move(events)), wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (!wake_) FailWithErrno();
  watch_ = loop.Add(wake_.get(), EPOLLIN, [this](std::uint32_t) { Deliver(); });
  thread_ = std::make_unique<Thread>(std::move(config), [this](SipEvent event) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      pending_.push_back(std::move(event));
    }
    const std::uint64_t one = 1;
    (void)!::write(wake_.get(), &one, sizeof one);
  });
  std::promise<int> ready;
  std::future<int> started = ready.get_future();
  try {
    runner_ = std::thread([this, &ready] { thread_->Run(ready); });
  } catch (const std::system_error& error) {
    Fail(StatusFromErrno(error.code().value()));
  }
  if (const int error = started.get()) {
    runner_.join();
    Fail(StatusFromErrno(error));
  }
}

ReSipStack::~ReSipStack() {
  thread_->Push(kStopCommand);
  runner_.join();
}

void ReSipStack::Register() { thread_->Push(kRegisterCommand); }

void ReSipStack::Deliver() {
  std::uint64_t count = 0;
  (void)!::read(wake_.get(), &count, sizeof count);
  std::deque<SipEvent> events;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    events.swap(pending_);
  }
  for (const SipEvent& event : events) {
    if (events_) events_(event);
  }
}

}  // namespace hushcall::ringwatch
