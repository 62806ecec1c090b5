// A host name looked up without blocking the loop. It is getaddrinfo, as
// every program on the machine looks names up (/etc/hosts, then
// systemd-resolved or DNS as nsswitch.conf says), run on a thread of its
// own as sd-resolve does inside systemd; the answer comes back to the loop
// through an eventfd.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ringwatch/posix/event_loop.h"

namespace hushcall::ringwatch {

struct SocketAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;
  int family() const { return storage.ss_family; }
};

class HostLookup {
 public:
  // `error` is 0 or getaddrinfo's EAI_ code (EAI_FAIL for EAI_SYSTEM);
  // `addresses` are TCP ones, in getaddrinfo's order of preference.
  using Done = std::function<void(int error, const std::vector<SocketAddress>& addresses)>;

  // Starts looking up `host` for TCP `port`; `done` runs once, from the
  // loop. Throws Failure when no thread or eventfd can be had.
  HostLookup(EventLoop& loop, const std::string& host, std::uint16_t port, Done done);
  // An answer not yet in is dropped: the thread ends on its own, and what it
  // holds goes with it.
  ~HostLookup();
  HostLookup(const HostLookup&) = delete;
  HostLookup& operator=(const HostLookup&) = delete;

  // As the constructor, with null for the throw; `done` is not run then.
  static std::unique_ptr<HostLookup> Start(EventLoop& loop, const std::string& host,
                                           std::uint16_t port, Done done) noexcept;

  // What a client logs of an answer with nothing to connect to: "its name
  // was not found (REASON)", REASON getaddrinfo's or "no address". Empty
  // when the answer has addresses.
  static std::string NotFound(int error, const std::vector<SocketAddress>& addresses);

 private:
  struct Shared;
  // On the lookup's thread: fills `shared` and makes its eventfd readable.
  static void Look(Shared& shared, const std::string& host, const std::string& service);
  void OnReady();

  std::shared_ptr<Shared> shared_;
  Done done_;
  EventLoop::Watch watch_;
};

}  // namespace hushcall::ringwatch
