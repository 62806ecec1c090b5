// One thread's event loop over epoll: file descriptors watched for
// readiness, their handlers run from Run() or, nested, from DoEvents() and
// the waits of the ring watch, as the Windows side's message loop does.
#pragma once

#include <sys/epoll.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "common/posix/unique_fd.h"
#include "ringwatch/core/event_pump.h"

namespace hushcall::ringwatch {

class EventLoop final : public EventPump {
 public:
  // Called with the ready events (EPOLLIN, EPOLLHUP, ...).
  using Handler = std::function<void(std::uint32_t events)>;

  // Watches one descriptor until destroyed. Destroying it, also from inside
  // its own handler, means the handler is never called again.
  class Watch {
   public:
    Watch() = default;
    ~Watch() { Reset(); }
    Watch(Watch&& other) noexcept;
    Watch& operator=(Watch&& other) noexcept;
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;
    explicit operator bool() const { return loop_ != nullptr; }
    // Changes the events watched for; 0 watches for none.
    void SetEvents(std::uint32_t events);
    void Reset();

   private:
    friend class EventLoop;
    Watch(EventLoop* loop, std::uint64_t id) : loop_(loop), id_(id) {}
    EventLoop* loop_ = nullptr;
    std::uint64_t id_ = 0;
  };

  // Throws Failure when the kernel refuses an epoll instance.
  EventLoop();
  ~EventLoop() override;
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // Level-triggered. The descriptor stays the caller's. Throws Failure.
  [[nodiscard]] Watch Add(int fd, std::uint32_t events, Handler handler);

  // Runs one round: waits up to `maxMs` (negative: without limit) for
  // readiness, then runs the handlers of what is ready. A handler is not
  // entered again from a nested round while it runs.
  void RunOnce(int maxMs);
  // Rounds until Quit(), each followed by what Later() queued during it.
  void Run();
  void Quit() { quit_ = true; }
  // Runs `work` once Run()'s current round is over, outside every handler:
  // for work that may destroy what a handler further down the stack (a
  // ring watch's wait, say) is still using.
  void Later(std::function<void()> work) { later_.push_back(std::move(work)); }

  // Pollable: readable while a watched descriptor is ready, for waits that
  // must also wake for their own descriptor.
  int fd() const { return epoll_.get(); }

  void DoEvents() override { RunOnce(0); }
  std::int64_t NowMs() override;

 private:
  struct Entry {
    int fd;
    std::uint32_t events;
    Handler handler;
    bool running = false;
  };
  void Apply(std::uint64_t id, const Entry& entry, int op);
  void Remove(std::uint64_t id);
  void SetEvents(std::uint64_t id, std::uint32_t events);

  posix::UniqueFd epoll_;
  std::map<std::uint64_t, std::shared_ptr<Entry>> entries_;
  std::uint64_t nextId_ = 1;
  bool quit_ = false;
  std::vector<std::function<void()>> later_;
};

}  // namespace hushcall::ringwatch
