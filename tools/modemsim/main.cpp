// modemsim: a Hayes modem on a pseudo-terminal, for trying and testing
// Hushcall without a modem. See UsageText() for the command line.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "tools/modemsim/options.h"
#include "tools/modemsim/pty.h"
#include "tools/modemsim/simulator.h"
#include "tools/modemsim/transcript.h"
#include "common/posix/unique_fd.h"

namespace hushcall::modemsim {
namespace {

int g_stopWriteFd = -1;

void OnStopSignal(int) {
  const char byte = 's';
  [[maybe_unused]] ssize_t n = write(g_stopWriteFd, &byte, 1);
}

// SIGTERM and SIGINT end the main loop through a pipe, so that the link and
// the FIFO are removed on the way out. SIGHUP comes when the line is hung
// up (the pty is this session's terminal) and must not end the run.
void InstallSignals(int stopWriteFd) {
  g_stopWriteFd = stopWriteFd;
  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGTERM, &stop, nullptr);
  sigaction(SIGINT, &stop, nullptr);
  signal(SIGHUP, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
}

int Run(const Options& options) {
  EnterOwnSession();
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) < 0) throw std::runtime_error("pipe");
  UniqueFd stopRead(pipeFds[0]);
  UniqueFd stopWrite(pipeFds[1]);
  InstallSignals(stopWrite.get());

  Transcript transcript(options.transcript);
  Pty pty = OpenPty();
  std::optional<ControlFifo> control;
  if (!options.control.empty()) control.emplace(options.control);
  SymlinkGuard link(pty.slavePath, options.link);

  transcript.Event("ready " + pty.slavePath);
  std::printf("ready %s\n", pty.slavePath.c_str());
  std::fflush(stdout);

  Simulator simulator(options, std::move(pty), transcript, control ? control->fd() : -1,
                      stopRead.get());
  return simulator.Run();
}

}  // namespace
}  // namespace hushcall::modemsim

int main(int argc, char** argv) {
  using namespace hushcall::modemsim;
  const ParsedCommandLine parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (parsed.help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (!parsed.options) {
    std::fprintf(stderr, "modemsim: %s (see --help)\n", parsed.error.c_str());
    return 2;
  }
  try {
    return Run(*parsed.options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "modemsim: %s\n", e.what());
    return 1;
  }
}
