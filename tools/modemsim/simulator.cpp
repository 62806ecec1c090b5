#include "tools/modemsim/simulator.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <system_error>

#include "tools/modemsim/control_command.h"

namespace hushcall::modemsim {
namespace {

constexpr char kRingReport[] = "RING\r\n";
// Bytes kept for a line nobody reads; beyond this they are dropped, so a
// port that is never opened can't make the simulator grow without bound.
constexpr size_t kMaxBacklog = 64 * 1024;
// How long to wait, when leaving, for the PC to read the last output:
// closing the pty throws away whatever it has not read yet.
constexpr Millis kExitGrace{2000};
constexpr Millis kQuitGrace{1000};
constexpr Millis kDrainPoll{10};
// Written bytes reach the slave's input queue a moment after the write
// returns; until then the queue looks empty.
constexpr Millis kSettle{50};
// From the first RING to the caller ID, as a modem decodes it between the
// first two rings.
constexpr Millis kCallerIdDelay{500};

int TimeoutMs(std::optional<TimePoint> wake, TimePoint now) {
  if (!wake) return -1;
  if (*wake <= now) return 0;
  auto ms = std::chrono::ceil<Millis>(*wake - now).count();
  return static_cast<int>(std::min<long long>(ms, 60000));
}

}  // namespace

Simulator::Simulator(const Options& options, Pty pty, Transcript& transcript, int controlFd,
                     int stopFd)
    : options_(options),
      pty_(std::move(pty)),
      transcript_(transcript),
      controlFd_(controlFd),
      stopFd_(stopFd),
      hayes_(options.echo, options.answer, options.callerIdMode),
      output_(options.shaping),
      schedule_(options.plan) {}

int Simulator::Run() {
  if (!options_.waitInit) {
    transcript_.Event("script start");
    schedule_.StartScript(Clock::now());
  }
  while (true) {
    TimePoint now = Clock::now();
    RunDueSchedule(now);
    if (hangupAt_ && *hangupAt_ <= now) Hangup();
    WriteDueOutput(now);
    if (Done(now)) break;

    pollfd fds[3] = {
        {pty_.master.get(), static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0)), 0},
        {controlFd_, POLLIN, 0},
        {stopFd_, POLLIN, 0},
    };
    int ready = poll(fds, 3, TimeoutMs(NextWake(now), Clock::now()));
    if (ready < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category(), "poll");
    }
    now = Clock::now();
    if (fds[2].revents) {
      transcript_.Event("stop signal");
      break;
    }
    if (fds[0].revents & POLLOUT) writeBlocked_ = false;
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) ReadLine(now);
    if (fds[1].revents & POLLIN) ReadControl(now);
  }
  transcript_.Event("exit");
  return 0;
}

void Simulator::RunDueSchedule(TimePoint now) {
  for (const ScheduledEvent& e : schedule_.TakeDue(now)) {
    if (e.kind == ScheduledEvent::Kind::kRing) {
      transcript_.Event(pty_.master ? e.label : e.label + " (line hung up)");
      QueueRing(now, e.firstOfCall);
      continue;
    }
    transcript_.Event(e.label);
    if (options_.hangupAfter.count() > 0) hangupAt_ = now + options_.hangupAfter;
    if (options_.exitAfterCalls) {
      if (hangupAt_) {
        leaveAfterHangup_ = true;
      } else {
        Leave(now, kExitGrace);
      }
    }
  }
}

void Simulator::WriteDueOutput(TimePoint now) {
  if (!pty_.master) return;
  while (!writeBlocked_) {
    const Chunk* chunk = output_.Due(now);
    if (!chunk) return;
    const std::int64_t started = RealtimeMicros();
    ssize_t n = write(pty_.master.get(), chunk->bytes.data(), chunk->bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        writeBlocked_ = true;
        if (output_.size_bytes() > kMaxBacklog) {
          transcript_.Event("nobody reads the line: dropped " +
                            std::to_string(output_.size_bytes()) + " bytes");
          output_.Clear();
        }
        return;
      }
      throw std::system_error(errno, std::generic_category(), "write to the line");
    }
    lastWrite_ = Clock::now();
    transcript_.Tx(std::string_view(chunk->bytes).substr(0, static_cast<size_t>(n)), started);
    const bool answerDone = chunk->endsAnswer && static_cast<size_t>(n) == chunk->bytes.size();
    output_.Consume(static_cast<size_t>(n));
    // The call script waits for the modem to have answered once: the PC has
    // then initialised it and is listening for rings.
    if (answerDone && !schedule_.scriptStarted()) {
      transcript_.Event("script start");
      schedule_.StartScript(Clock::now());
    }
  }
}

void Simulator::ReadLine(TimePoint now) {
  char buffer[4096];
  ssize_t n = read(pty_.master.get(), buffer, sizeof buffer);
  if (n <= 0) return;  // EAGAIN, or EIO while the slave side is closed
  const std::string_view bytes(buffer, static_cast<size_t>(n));
  transcript_.Rx(bytes);
  Reaction reaction = hayes_.Feed(bytes);
  for (const std::string& event : reaction.events) transcript_.Event(event);
  output_.AddRaw(now, std::move(reaction.echo));
  for (const std::string& answer : reaction.answers) {
    output_.AddResult(now + options_.replyDelay, answer, true);
  }
}

void Simulator::ReadControl(TimePoint now) {
  char buffer[1024];
  ssize_t n;
  while ((n = read(controlFd_, buffer, sizeof buffer)) > 0) {
    controlLine_.append(buffer, static_cast<size_t>(n));
  }
  size_t end;
  while ((end = controlLine_.find('\n')) != std::string::npos) {
    std::string line = controlLine_.substr(0, end);
    controlLine_.erase(0, end + 1);
    RunControl(line, now);
  }
}

void Simulator::RunControl(const std::string& line, TimePoint now) {
  const ControlCommand c = ParseControlLine(line);
  using Kind = ControlCommand::Kind;
  if (c.kind == Kind::kInvalid) {
    transcript_.Event(c.bytes);
    return;
  }
  transcript_.Event("control " + line);
  switch (c.kind) {
    case Kind::kRing:
      schedule_.AddRings(now, c.rings, c.gap);
      RunDueSchedule(now);  // the first ring goes out now
      break;
    case Kind::kSend:
      if (pty_.master) output_.AddRaw(now, c.bytes);
      break;
    case Kind::kPause:
      output_.Pause(now, c.gap);
      break;
    case Kind::kHangup:
      Hangup();
      break;
    case Kind::kQuit:
      Leave(now, kQuitGrace);
      break;
    case Kind::kInvalid:
      break;
  }
}

void Simulator::QueueRing(TimePoint now, bool firstOfCall) {
  if (!pty_.master) return;
  output_.AddResult(now, kRingReport, false);
  if (!firstOfCall || !options_.caller || !hayes_.callerId()) return;
  const std::time_t wall = std::time(nullptr);
  std::tm local{};
  localtime_r(&wall, &local);
  output_.Pause(now, kCallerIdDelay);
  output_.AddRaw(now, CallerIdBlock(*options_.caller, local));
  transcript_.Event("caller id");
}

// Closing both ends frees the pty: the PC side sees the line go away, and
// the link is left pointing at nothing until the simulator exits.
void Simulator::Hangup() {
  hangupAt_.reset();
  if (!pty_.master) return;
  output_.Clear();
  writeBlocked_ = false;
  pty_.master.reset();
  pty_.slave.reset();
  transcript_.Event("hangup");
  if (leaveAfterHangup_) Leave(Clock::now(), Millis(0));
}

void Simulator::Leave(TimePoint now, Millis grace) {
  if (!leaveBy_ || now + grace < *leaveBy_) leaveBy_ = now + grace;
}

// Everything queued has been written, and the PC has read it.
bool Simulator::LineDrained(TimePoint now) const {
  if (!pty_.master) return true;
  if (!output_.empty() || now - lastWrite_ < kSettle) return false;
  int unread = 0;
  return ioctl(pty_.slave.get(), FIONREAD, &unread) < 0 || unread == 0;
}

std::optional<TimePoint> Simulator::NextWake(TimePoint now) const {
  std::optional<TimePoint> wake = schedule_.NextDue();
  auto consider = [&wake](std::optional<TimePoint> t) {
    if (t && (!wake || *t < *wake)) wake = t;
  };
  if (pty_.master && !writeBlocked_) consider(output_.NextDue());
  consider(hangupAt_);
  // Nothing signals that the PC has read the line: look again shortly.
  if (leaveBy_) consider(std::min(*leaveBy_, now + kDrainPoll));
  return wake;
}

bool Simulator::Done(TimePoint now) const {
  return leaveBy_ && (now >= *leaveBy_ || LineDrained(now));
}
}  // namespace hushcall::modemsim
