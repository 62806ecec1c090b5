// hushcalld's command line.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace hushcall::daemon {

struct CommandLine {
  enum class Mode { kRun, kCheck, kHelp, kVersion };
  Mode mode = Mode::kRun;
  std::string configPath;  // resolved: --config, else the XDG default
};

struct CommandLineResult {
  CommandLine line;
  std::string error;  // non-empty: a usage error, to print with the usage
};

// `args` without the program name. `xdgConfigHome` and `home` are the
// variables' values, empty when unset. --help and --version win over
// everything else on the line, errors included; the config path is only
// resolved when it is needed.
CommandLineResult ParseCommandLine(std::span<const std::string_view> args,
                                   std::string_view xdgConfigHome, std::string_view home);

// The path used without --config: $XDG_CONFIG_HOME/hushcall/hushcall.conf
// when that is an absolute path (the XDG rule: a relative one is ignored),
// else $HOME/.config/hushcall/hushcall.conf; empty when neither is usable.
std::string DefaultConfigPath(std::string_view xdgConfigHome, std::string_view home);

std::string UsageText();

}  // namespace hushcall::daemon
