// The simulator's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/modemsim/call_schedule.h"
#include "tools/modemsim/caller_id.h"
#include "tools/modemsim/clock.h"
#include "tools/modemsim/hayes.h"
#include "tools/modemsim/output_queue.h"

namespace hushcall::modemsim {

struct Options {
  std::string link;
  std::string transcript;  // empty: standard error
  std::string control;     // empty: no control FIFO
  Millis replyDelay{50};
  bool echo = true;
  AnswerMode answer = AnswerMode::kOk;
  Shaping shaping;
  CallPlan plan;
  bool waitInit = true;
  Millis hangupAfter{0};  // zero: never
  bool exitAfterCalls = false;
  std::optional<CallerId> caller;  // none: no caller ID is sent
  CallerIdMode callerIdMode = CallerIdMode::kOk;
};

struct ParsedCommandLine {
  std::optional<Options> options;  // set when the tool should run
  bool help = false;
  std::string error;  // set when the command line is wrong
};

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The --help text.
const char* UsageText();

}  // namespace hushcall::modemsim
