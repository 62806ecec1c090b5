// hushcalld's options and its settings file's default place.
#include "daemon/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hushcall::daemon {
namespace {

using Mode = CommandLine::Mode;

CommandLineResult Parse(std::vector<std::string_view> args, std::string_view xdg = "/x",
                        std::string_view home = "/home/u") {
  return ParseCommandLine(args, xdg, home);
}

TEST(DaemonCommandLine, ModesAndConfigPaths) {
  struct Case {
    std::vector<std::string_view> args;
    Mode mode;
    std::string path;
  };
  const std::vector<Case> cases = {
      {{}, Mode::kRun, "/x/hushcall/hushcall.conf"},
      {{"--check"}, Mode::kCheck, "/x/hushcall/hushcall.conf"},
      {{"--config", "my.conf"}, Mode::kRun, "my.conf"},
      {{"--check", "--config=/etc/h.conf"}, Mode::kCheck, "/etc/h.conf"},
      // The last --config wins, as with most tools.
      {{"--config", "a", "--config", "b"}, Mode::kRun, "b"},
      // A FILE that looks like an option is still the FILE.
      {{"--config", "--check"}, Mode::kRun, "--check"},
      {{"--check", "--help"}, Mode::kHelp, ""},
      {{"--version", "--bogus"}, Mode::kVersion, ""},
  };
  for (const Case& c : cases) {
    const CommandLineResult r = Parse(c.args);
    EXPECT_EQ(r.error, "") << c.args.size();
    EXPECT_EQ(r.line.mode, c.mode) << c.args.size();
    if (!c.path.empty()) {
      EXPECT_EQ(r.line.configPath, c.path);
    }
  }
}

TEST(DaemonCommandLine, UsageErrors) {
  EXPECT_EQ(Parse({"--config"}).error, "--config needs a FILE");
  EXPECT_EQ(Parse({"--config="}).error, "--config needs a FILE");
  EXPECT_EQ(Parse({"-c"}).error, "unknown argument '-c'");
  EXPECT_EQ(Parse({"check"}).error, "unknown argument 'check'");
  // Only a missing default is an error; --config does without one.
  EXPECT_NE(Parse({}, "", "").error, "");
  EXPECT_EQ(Parse({"--config", "f"}, "", "").error, "");
}

TEST(DaemonCommandLine, DefaultPathFollowsXdgRules) {
  EXPECT_EQ(DefaultConfigPath("/xdg", "/home/u"), "/xdg/hushcall/hushcall.conf");
  // Unset, empty or relative XDG_CONFIG_HOME: ~/.config.
  EXPECT_EQ(DefaultConfigPath("", "/home/u"), "/home/u/.config/hushcall/hushcall.conf");
  EXPECT_EQ(DefaultConfigPath("rel/dir", "/home/u"), "/home/u/.config/hushcall/hushcall.conf");
  EXPECT_EQ(DefaultConfigPath("", ""), "");
}

}  // namespace
}  // namespace hushcall::daemon
