// Parsing hushcalld's options.
#include "daemon/command_line.h"

namespace hushcall::daemon {

std::string DefaultConfigPath(std::string_view xdgConfigHome, std::string_view home) {
  constexpr std::string_view kTail = "/hushcall/hushcall.conf";
  if (xdgConfigHome.starts_with('/')) return std::string(xdgConfigHome).append(kTail);
  if (home.starts_with('/')) return std::string(home).append("/.config").append(kTail);
  return {};
}

CommandLineResult ParseCommandLine(std::span<const std::string_view> args,
                                   std::string_view xdgConfigHome, std::string_view home) {
  CommandLineResult result;
  bool configGiven = false;
  bool help = false;
  bool version = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (arg == "--version") {
      version = true;
    } else if (arg == "--check") {
      result.line.mode = CommandLine::Mode::kCheck;
    } else if (arg == "--config" || arg.starts_with("--config=")) {
      std::string_view value;
      if (arg == "--config") {
        if (i + 1 == args.size()) {
          result.error = "--config needs a FILE";
          continue;
        }
        value = args[++i];
      } else {
        value = arg.substr(std::string_view("--config=").size());
      }
      if (value.empty()) {
        result.error = "--config needs a FILE";
        continue;
      }
      result.line.configPath = std::string(value);
      configGiven = true;
    } else if (result.error.empty()) {
      result.error = "unknown argument '" + std::string(arg) + "'";
    }
  }
  if (help || version) {
    result.line.mode = help ? CommandLine::Mode::kHelp : CommandLine::Mode::kVersion;
    result.error.clear();
    return result;
  }
  if (result.error.empty() && !configGiven) {
    result.line.configPath = DefaultConfigPath(xdgConfigHome, home);
    if (result.line.configPath.empty()) {
      result.error = "neither XDG_CONFIG_HOME nor HOME is an absolute path: give --config FILE";
    }
  }
  return result;
}

std::string UsageText() {
  return "Usage: hushcalld [--config FILE] [--check]\n"
         "       hushcalld --help | --version\n"
         "\n"
         "Quiets the desktop's media players when the phone rings.\n"
         "\n"
         "  --config FILE  the settings file (default:\n"
         "                 $XDG_CONFIG_HOME/hushcall/hushcall.conf, else\n"
         "                 ~/.config/hushcall/hushcall.conf)\n"
         "  --check        check the settings file, print its messages and exit:\n"
         "                 0 when it is clean, 1 when not\n"
         "  --help         show this text\n"
         "  --version      show the version\n"
         "\n"
         "SIGHUP reads the settings file again; SIGTERM and SIGINT stop.\n";
}

}  // namespace hushcall::daemon
