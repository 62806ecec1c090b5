// hushcalld: the command line, and the service's life on one event loop.
#include <signal.h>
#include <sys/epoll.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/status.h"
#include "daemon/command_line.h"
#include "daemon/service.h"
#include "daemon/settings_loader.h"
#include "daemon/signal_watch.h"
#include "hushcall_version.h"
#include "ringwatch/posix/event_loop.h"
#include "ringwatch/posix/log.h"
#include "ringwatch/sources/mqtt/remote_calls.h"

namespace hushcall::daemon {
namespace {

std::string_view Env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string_view() : std::string_view(value);
}

std::string StatusText(Status status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
  return text;
}

// --check: the messages on stdout, then one verdict line.
int Check(const std::string& path) {
  const LoadedSettings loaded = LoadSettingsFile(path);
  for (const std::string& message : loaded.messages) std::printf("%s\n", message.c_str());
  if (loaded.file == LoadedSettings::File::kAbsent) {
    std::printf("%s: absent; the defaults apply\n", path.c_str());
  } else if (loaded.clean()) {
    std::printf("%s: clean\n", path.c_str());
  }
  return loaded.clean() ? 0 : 1;
}

// The process tests' way to see a call given up without waiting minutes.
std::int64_t RemoteSilenceMs() {
  const std::string_view text = Env("HUSHCALLD_TEST_MQTT_SILENCE_MS");
  std::int64_t ms = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), ms);
  const bool taken = error == std::errc() && end == text.data() + text.size() && ms > 0;
  return taken ? ms : ringwatch::kRemoteSilenceMs;
}

int Run(const std::string& path) {
  ringwatch::StderrLog log;
  const Status status = StatusOf([&] {
    // Blocked before anything else, so a signal can only arrive as a read.
    SignalWatch signals({SIGTERM, SIGINT, SIGHUP});
    ringwatch::EventLoop loop;
    // The process tests' own name server, which finds their registrar, and
    // their own CA, which signed its certificate.
    Service service(loop, log, path, RemoteSilenceMs(),
                    std::string(Env("HUSHCALLD_TEST_NAMESERVER")),
                    std::string(Env("HUSHCALLD_TEST_SIP_CA_FILE")));
    log.Line("hushcalld " HUSHCALL_VERSION_TEXT " starting; settings file " + path);
    service.Start();
    const auto watch = loop.Add(signals.fd(), EPOLLIN, [&](std::uint32_t) {
      const Status handled = StatusOf([&] {
        while (const int signal = signals.Next()) {
          if (signal == SIGHUP) {
            // Out of every handler: this one may run nested in the ring
            // watch's wait for the modem, and a reload may remake the watch.
            loop.Later([&] {
              const Status reloaded = StatusOf([&] {
                service.Reload();
                return kOk;
              });
              if (Failed(reloaded)) log.Line("reload failed: status " + StatusText(reloaded));
            });
          } else {
            log.Line(signal == SIGTERM ? "stopping on SIGTERM" : "stopping on SIGINT");
            loop.Quit();
          }
        }
        return kOk;
      });
      if (Failed(handled)) log.Line("signal handling failed: status " + StatusText(handled));
    });
    loop.Run();
    return service.lost() ? kFail : kOk;
  });
  if (Failed(status)) {
    log.Line("hushcalld failed: status " + StatusText(status));
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace hushcall::daemon

int main(int argc, char** argv) {
  using hushcall::daemon::CommandLine;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const hushcall::daemon::CommandLineResult parsed = hushcall::daemon::ParseCommandLine(
      args, hushcall::daemon::Env("XDG_CONFIG_HOME"), hushcall::daemon::Env("HOME"));
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "hushcalld: %s\n\n%s", parsed.error.c_str(),
                 hushcall::daemon::UsageText().c_str());
    return 2;
  }
  switch (parsed.line.mode) {
    case CommandLine::Mode::kHelp:
      std::fputs(hushcall::daemon::UsageText().c_str(), stdout);
      return 0;
    case CommandLine::Mode::kVersion:
      std::puts("hushcalld " HUSHCALL_VERSION_TEXT);
      return 0;
    case CommandLine::Mode::kCheck:
      return hushcall::daemon::Check(parsed.line.configPath);
    case CommandLine::Mode::kRun:
      break;
  }
  return hushcall::daemon::Run(parsed.line.configPath);
}
