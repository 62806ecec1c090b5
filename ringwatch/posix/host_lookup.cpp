#include "ringwatch/posix/host_lookup.h"

#include <netdb.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

#include "common/posix/unique_fd.h"
#include "common/status.h"
#include "ringwatch/posix/errno_status.h"

namespace hushcall::ringwatch {

// What the thread and the owner share; the last of them frees it.
struct HostLookup::Shared {
  posix::UniqueFd ready;
  std::atomic<bool> done{false};
  int error = 0;
  std::vector<SocketAddress> addresses;
};

HostLookup::HostLookup(EventLoop& loop, const std::string& host, std::uint16_t port, Done done)
    : shared_(std::make_shared<Shared>()), done_(std::move(done)) {
  shared_->ready.reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
  if (!shared_->ready) FailWithErrno();
  watch_ = loop.Add(shared_->ready.get(), EPOLLIN, [this](std::uint32_t) { OnReady(); });
  // The thread takes the caller's signal mask: the service's signals stay
  // blocked there, for its signalfd alone.
  try {
    std::thread(
        [shared = shared_, host, service = std::to_string(port)] { Look(*shared, host, service); })
        .detach();
  } catch (const std::system_error& e) {
    Fail(StatusFromErrno(e.code().value()));
  }
}

HostLookup::~HostLookup() { watch_.Reset(); }

void HostLookup::OnReady() {
  if (!shared_->done.load(std::memory_order_acquire)) return;
  watch_.Reset();  // once; the eventfd stays readable
  // A copy: `done` may destroy this lookup.
  Done done = std::move(done_);
  const std::shared_ptr<Shared> shared = shared_;
  if (done) done(shared->error, shared->addresses);
}

std::unique_ptr<HostLookup> HostLookup::Start(EventLoop& loop, const std::string& host,
                                              std::uint16_t port, Done done) noexcept {
  std::unique_ptr<HostLookup> lookup;
  const Status status = StatusOf([&] {
    lookup = std::make_unique<HostLookup>(loop, host, port, std::move(done));
    return kOk;
  });
  return Failed(status) ? nullptr : std::move(lookup);
}

std::string HostLookup::NotFound(int error, const std::vector<SocketAddress>& addresses) {
  if (error == 0 && !addresses.empty()) return {};
  return std::string("its name was not found (") +
         (error != 0 ? ::gai_strerror(error) : "no address") + ")";
}

void HostLookup::Look(Shared& shared, const std::string& host, const std::string& service) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  shared.error = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  // Its errno would stay on this thread.
  if (shared.error == EAI_SYSTEM) shared.error = EAI_FAIL;
  try {
    for (const addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
      if (ai->ai_addrlen > sizeof(sockaddr_storage)) continue;
      SocketAddress address;
      std::memcpy(&address.storage, ai->ai_addr, ai->ai_addrlen);
      address.length = ai->ai_addrlen;
      shared.addresses.push_back(address);
    }
  } catch (...) {
    shared.error = EAI_MEMORY;
  }
  if (found != nullptr) ::freeaddrinfo(found);
  shared.done.store(true, std::memory_order_release);
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(shared.ready.get(), &one, sizeof one);
}

}  // namespace hushcall::ringwatch
