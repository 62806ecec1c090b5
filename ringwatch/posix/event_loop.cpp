#include "ringwatch/posix/event_loop.h"

#include <time.h>

#include <cerrno>
#include <utility>

#include "common/status.h"

namespace hushcall::ringwatch {

namespace {

constexpr int kMaxEventsPerRound = 16;

}  // namespace

EventLoop::Watch::Watch(Watch&& other) noexcept
    : loop_(std::exchange(other.loop_, nullptr)), id_(other.id_) {}

EventLoop::Watch& EventLoop::Watch::operator=(Watch&& other) noexcept {
  if (this != &other) {
    Reset();
    loop_ = std::exchange(other.loop_, nullptr);
    id_ = other.id_;
  }
  return *this;
}

void EventLoop::Watch::SetEvents(std::uint32_t events) {
  if (loop_ != nullptr) loop_->SetEvents(id_, events);
}

void EventLoop::Watch::Reset() {
  if (EventLoop* loop = std::exchange(loop_, nullptr)) loop->Remove(id_);
}

EventLoop::EventLoop() : epoll_(::epoll_create1(EPOLL_CLOEXEC)) {
  if (!epoll_) Fail(kFail);
}

EventLoop::~EventLoop() = default;

void EventLoop::Apply(std::uint64_t id, const Entry& entry, int op) {
  epoll_event event{};
  event.events = entry.events;
  event.data.u64 = id;
  if (::epoll_ctl(epoll_.get(), op, entry.fd, &event) != 0) Fail(kFail);
}

EventLoop::Watch EventLoop::Add(int fd, std::uint32_t events, Handler handler) {
  const std::uint64_t id = nextId_++;
  auto entry = std::make_shared<Entry>(Entry{fd, events, std::move(handler)});
  Apply(id, *entry, EPOLL_CTL_ADD);
  entries_.emplace(id, std::move(entry));
  return Watch(this, id);
}

void EventLoop::Remove(std::uint64_t id) {
  const auto it = entries_.find(id);
  if (it == entries_.end()) return;
  // The descriptor may already be closed, which removed it from the set.
  ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, it->second->fd, nullptr);
  entries_.erase(it);
}

void EventLoop::SetEvents(std::uint64_t id, std::uint32_t events) {
  const auto it = entries_.find(id);
  if (it == entries_.end()) return;
  it->second->events = events;
  // A running handler's descriptor is out of the set; it goes back with
  // these events when the handler returns.
  if (!it->second->running) Apply(id, *it->second, EPOLL_CTL_MOD);
}

void EventLoop::RunOnce(int maxMs) {
  epoll_event ready[kMaxEventsPerRound];
  const int count = ::epoll_wait(epoll_.get(), ready, kMaxEventsPerRound, maxMs < 0 ? -1 : maxMs);
  if (count < 0) {
    if (errno == EINTR) return;
    Fail(kFail);
  }
  for (int i = 0; i < count; ++i) {
    const std::uint64_t id = ready[i].data.u64;
    const auto it = entries_.find(id);
    // Removed, or made busy, by an earlier handler of this round.
    if (it == entries_.end() || it->second->running) continue;
    // Held, so that the handler may remove its own watch.
    const std::shared_ptr<Entry> entry = it->second;
    // Out of the set while its handler runs, or a level-triggered one would
    // wake every nested wait at once. (Only removal keeps a hung-up
    // descriptor quiet: epoll reports hang-ups whatever the events asked.)
    ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, entry->fd, nullptr);
    entry->running = true;
    struct Done {
      EventLoop& loop;
      std::uint64_t id;
      Entry& entry;
      ~Done() {
        entry.running = false;
        try {
          if (loop.entries_.count(id) != 0) loop.Apply(id, entry, EPOLL_CTL_ADD);
        } catch (const Failure&) {
          // Its descriptor was closed under it: there is nothing to watch.
        }
      }
    } done{*this, id, *entry};
    entry->handler(ready[i].events);
  }
}

void EventLoop::Run() {
  quit_ = false;
  while (!quit_) {
    RunOnce(-1);
    // Taken first: the work may queue more, for after the next round.
    for (auto& work : std::exchange(later_, {})) work();
  }
}

std::int64_t EventLoop::NowMs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace hushcall::ringwatch
