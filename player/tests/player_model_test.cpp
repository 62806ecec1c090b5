#include "player/player_model.h"

#include <gtest/gtest.h>

#include "player/command_line.h"
#include "common/player_protocol.h"

namespace hushcall::player {
namespace {

constexpr std::intptr_t kQueryAsSent = static_cast<std::intptr_t>(0xFFFFFD66u);

TEST(PlayerModel, VolumeQueryAnswersTheCurrentVolumeWithoutChangingIt) {
  PlayerModel model(PlayState::kPlaying, 200);
  EXPECT_EQ(model.OnUserMessage(kVolumeQuery, kIpcSetVolume), 200);
  // The query as a 32-bit wParam, the way SendMessageA delivers -666.
  EXPECT_EQ(model.OnUserMessage(kQueryAsSent, kIpcSetVolume), 200);
  EXPECT_EQ(model.volume(), 200);
}

TEST(PlayerModel, SetVolumeIsClampedToTheFullScale) {
  struct Case { std::intptr_t sent; int expected; };
  const Case cases[] = {{0, 0}, {1, 1}, {128, 128}, {255, 255}, {256, 255}, {510, 255},
                        {-1, 0}, {-5, 0}, {-665, 0}, {-667, 0}, {0x7FFFFFFF, 255}};
  for (const Case& c : cases) {
    PlayerModel model(PlayState::kPlaying, 100);
    model.OnUserMessage(c.sent, kIpcSetVolume);
    EXPECT_EQ(model.volume(), c.expected) << "sent " << c.sent;
    EXPECT_EQ(model.OnUserMessage(kVolumeQuery, kIpcSetVolume), c.expected);
  }
}

TEST(PlayerModel, StatusAnswersOnePlayingThreePausedZeroStopped) {
  EXPECT_EQ(PlayerModel(PlayState::kPlaying, 0).OnUserMessage(0, kIpcIsPlaying), 1);
  EXPECT_EQ(PlayerModel(PlayState::kPaused, 0).OnUserMessage(0, kIpcIsPlaying), 3);
  EXPECT_EQ(PlayerModel(PlayState::kStopped, 0).OnUserMessage(0, kIpcIsPlaying), 0);
}

TEST(PlayerModel, CommandsMoveBetweenStates) {
  struct Case { PlayState from; int command; PlayState to; };
  const Case cases[] = {
      {PlayState::kPlaying, kCommandPause, PlayState::kPaused},
      {PlayState::kPaused, kCommandPause, PlayState::kPlaying},
      // Pause toggles only what is playing or paused.
      {PlayState::kStopped, kCommandPause, PlayState::kStopped},
      {PlayState::kPlaying, kCommandStop, PlayState::kStopped},
      {PlayState::kPaused, kCommandStop, PlayState::kStopped},
      {PlayState::kStopped, kCommandPlay, PlayState::kPlaying},
      {PlayState::kPaused, kCommandPlay, PlayState::kPlaying},
  };
  for (const Case& c : cases) {
    PlayerModel model(c.from, 50);
    EXPECT_TRUE(model.OnCommand(c.command));
    EXPECT_EQ(model.state(), c.to) << ToString(c.from) << " + " << c.command;
    EXPECT_EQ(model.volume(), 50);
  }
}

TEST(PlayerModel, UnknownCommandsAndSelectorsChangeNothing) {
  PlayerModel model(PlayState::kPlaying, 90);
  EXPECT_FALSE(model.OnCommand(12345));
  EXPECT_EQ(model.OnUserMessage(77, 999), 0);
  EXPECT_EQ(model.state(), PlayState::kPlaying);
  EXPECT_EQ(model.volume(), 90);
}

TEST(PlayerCommandLine, DefaultsArePlayingAtVolume200) {
  ParseResult r = ParseCommandLine({});
  ASSERT_TRUE(r.error.empty());
  EXPECT_EQ(r.options.state, PlayState::kPlaying);
  EXPECT_EQ(r.options.volume, 200);
  EXPECT_TRUE(r.options.pluginDir.empty());
  EXPECT_FALSE(r.options.configPlugin);
  EXPECT_FALSE(r.options.exitAfterMs);
}

TEST(PlayerCommandLine, ReadsEveryOption) {
  ParseResult r = ParseCommandLine({L"--plugins", L"C:\\p", L"--state", L"paused", L"--volume",
                                    L"17", L"--log", L"x.log", L"--config", L"1",
                                    L"--exit-after-ms", L"2500", L"--resource-log-ms", L"10000"});
  ASSERT_TRUE(r.error.empty());
  EXPECT_EQ(r.options.pluginDir, L"C:\\p");
  EXPECT_EQ(r.options.state, PlayState::kPaused);
  EXPECT_EQ(r.options.volume, 17);
  EXPECT_EQ(r.options.logFile, L"x.log");
  EXPECT_EQ(r.options.configPlugin, 1);
  EXPECT_EQ(r.options.exitAfterMs, 2500);
  EXPECT_EQ(r.options.resourceLogMs, 10000);
}

TEST(PlayerCommandLine, RejectsBadInput) {
  const std::vector<std::vector<std::wstring>> cases = {
      {L"--state", L"rewinding"}, {L"--volume", L"256"}, {L"--volume", L"-1"},
      {L"--volume", L"12x"},      {L"--volume"},         {L"--frobnicate", L"1"},
      {L"--exit-after-ms", L""},  {L"--resource-log-ms", L"0"}};
  for (const auto& args : cases) EXPECT_FALSE(ParseCommandLine(args).error.empty()) << args[0];
}

}  // namespace
}  // namespace hushcall::player
