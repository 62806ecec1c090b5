// The simulator's main loop: one poll() over the line, the control FIFO and
// the signal pipe, with the next due output or ring as its timeout.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "tools/modemsim/call_schedule.h"
#include "tools/modemsim/hayes.h"
#include "tools/modemsim/options.h"
#include "tools/modemsim/output_queue.h"
#include "tools/modemsim/pty.h"
#include "tools/modemsim/transcript.h"

namespace hushcall::modemsim {

class Simulator {
 public:
  // `controlFd` may be -1 (no control FIFO); `stopFd` becomes readable
  // when the process is asked to stop.
  Simulator(const Options& options, Pty pty, Transcript& transcript, int controlFd, int stopFd);

  // Runs until stopped, quit, or done with the calls; returns the exit code.
  int Run();

 private:
  void RunDueSchedule(TimePoint now);
  void WriteDueOutput(TimePoint now);
  void ReadLine(TimePoint now);
  void ReadControl(TimePoint now);
  void RunControl(const std::string& line, TimePoint now);
  void QueueRing(TimePoint now, bool firstOfCall);
  void Hangup();
  void Leave(TimePoint now, Millis grace);
  bool LineDrained(TimePoint now) const;
  std::optional<TimePoint> NextWake(TimePoint now) const;
  bool Done(TimePoint now) const;

  const Options options_;
  Pty pty_;
  Transcript& transcript_;
  const int controlFd_;
  const int stopFd_;

  HayesInterpreter hayes_;
  OutputQueue output_;
  CallSchedule schedule_;

  bool writeBlocked_ = false;  // the line is full: wait for POLLOUT
  TimePoint lastWrite_{};
  std::optional<TimePoint> hangupAt_;
  bool leaveAfterHangup_ = false;
  std::optional<TimePoint> leaveBy_;  // leaving: once the line drains, or then
  std::string controlLine_;
};

}  // namespace hushcall::modemsim
