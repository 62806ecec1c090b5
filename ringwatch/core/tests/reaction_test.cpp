#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "common/status.h"
#include "ringwatch/core/tests/ring_rig.h"

namespace hushcall::ringwatch::testing {
namespace {

PlayerMessage SetVolume(std::int32_t volume) {
  return {kPlayerWnd, kWmUser, volume, kActionVolume};
}
PlayerMessage VolumeQuery() { return {kPlayerWnd, kWmUser, kVolumeQuery, kActionVolume}; }
PlayerMessage IsPlaying() { return {kPlayerWnd, kWmUser, 0, kIpcIsPlaying}; }
PlayerMessage Command(std::int32_t action) { return {kPlayerWnd, kWmCommand, action, 0}; }

struct FullScaleCase {
  std::uint8_t volume;
  std::int32_t expected;
};

class FullScaleVolume : public ::testing::TestWithParam<FullScaleCase> {};

// Exact halves (25.5, 76.5, 127.5, 178.5, 229.5) go to the even neighbour.
TEST_P(FullScaleVolume, SetsPercentOf255InOneMessage) {
  RingRig rig;
  rig.settings.Volume = GetParam().volume;
  rig.ring.React();
  EXPECT_EQ(rig.player.messages, std::vector<PlayerMessage>{SetVolume(GetParam().expected)});
}

INSTANTIATE_TEST_SUITE_P(Volumes, FullScaleVolume,
                         ::testing::Values(FullScaleCase{0, 0}, FullScaleCase{1, 3},
                                           FullScaleCase{10, 26}, FullScaleCase{30, 76},
                                           FullScaleCase{50, 128}, FullScaleCase{70, 178},
                                           FullScaleCase{90, 230}, FullScaleCase{100, 255},
                                           // A stored 200 is not limited to full scale.
                                           FullScaleCase{200, 510}));

struct PercentCase {
  std::uint8_t volume;
  std::int32_t current;
  std::int32_t expected;
};

class PercentOfCurrentVolume : public ::testing::TestWithParam<PercentCase> {};

TEST_P(PercentOfCurrentVolume, QueriesFirstThenSets) {
  RingRig rig;
  rig.settings.Percent = true;
  rig.settings.Volume = GetParam().volume;
  rig.player.answers = {GetParam().current};
  rig.ring.React();
  EXPECT_EQ(rig.player.messages,
            (std::vector<PlayerMessage>{VolumeQuery(), SetVolume(GetParam().expected)}));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PercentOfCurrentVolume,
    ::testing::Values(PercentCase{50, 200, 100}, PercentCase{50, 101, 50},  // 50.5 to even
                      PercentCase{50, 0, 0},
                      // 7 / 100 lies just above 0.07, so the product is just
                      // above 10.5; multiplying first would give 10.
                      PercentCase{7, 150, 11},
                      // The answer is not examined: out-of-scale answers pass.
                      PercentCase{50, -20, -10}, PercentCase{100, 1000, 1000}));

TEST(Reaction, VolumeOverflowSendsNoSetAndShowsNoPopup) {
  RingRig rig;
  rig.settings.Percent = true;
  rig.settings.Volume = 255;
  rig.settings.Popup = true;
  rig.player.answers = {std::numeric_limits<std::int32_t>::max()};
  try {
    rig.ring.React();
    FAIL() << "no overflow";
  } catch (const Failure& f) {
    EXPECT_EQ(f.status(), kOverflow);
  }
  EXPECT_EQ(rig.player.messages, std::vector<PlayerMessage>{VolumeQuery()});
  EXPECT_TRUE(rig.boxes.shown.empty());
}

TEST(Reaction, FullScaleLevelIsSetEvenAboveTheCurrentVolume) {
  RingRig rig;
  rig.player.answers = {60};  // would be the current volume; never asked
  rig.ring.React();
  EXPECT_EQ(rig.player.messages, std::vector<PlayerMessage>{SetVolume(128)});
}

struct CommandCase {
  std::int32_t action;
  std::vector<std::int32_t> answers;
  std::vector<PlayerMessage> expected;
};

class CommandAction : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandAction, SendsTheExpectedMessages) {
  RingRig rig;
  rig.settings.Action = GetParam().action;
  rig.player.answers.assign(GetParam().answers.begin(), GetParam().answers.end());
  rig.ring.React();
  EXPECT_EQ(rig.player.messages, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Actions, CommandAction,
    ::testing::Values(
        CommandCase{kActionStop, {}, {Command(kActionStop)}},
        CommandCase{12345, {}, {Command(12345)}},
        // Pause toggles in the player: sent only while it plays (answer 1).
        CommandCase{kActionPause, {1}, {IsPlaying(), Command(kActionPause)}},
        CommandCase{kActionPause, {3}, {IsPlaying()}},   // paused
        CommandCase{kActionPause, {0}, {IsPlaying()}},   // stopped
        CommandCase{kActionPause, {-1}, {IsPlaying()}}));

class PopupAfterMessage : public ::testing::TestWithParam<CommandCase> {};

TEST_P(PopupAfterMessage, ShowsThePopupLast) {
  RingRig rig;
  rig.settings.Popup = true;
  rig.settings.Action = GetParam().action;
  rig.player.answers.assign(GetParam().answers.begin(), GetParam().answers.end());
  rig.ring.React();
  ASSERT_FALSE(rig.log.empty());
  EXPECT_EQ(rig.log.back(), "Box(48)");
  EXPECT_EQ(rig.log.size(), GetParam().expected.size() + 1);
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].text, "The phone is ringing!");
  EXPECT_EQ(rig.boxes.shown[0].title, "Hushcall");
  EXPECT_EQ(rig.boxes.shown[0].code, 48);
}

INSTANTIATE_TEST_SUITE_P(
    Actions, PopupAfterMessage,
    ::testing::Values(CommandCase{kActionVolume, {}, {SetVolume(128)}},
                      CommandCase{kActionStop, {}, {Command(kActionStop)}},
                      CommandCase{kActionPause, {1}, {IsPlaying(), Command(kActionPause)}},
                      // The pause was skipped, the user is still told.
                      CommandCase{kActionPause, {0}, {IsPlaying()}},
                      CommandCase{777, {}, {Command(777)}}));

TEST(Reaction, NoPopupWhenPopupIsOff) {
  RingRig rig;
  rig.ring.React();
  EXPECT_TRUE(rig.boxes.shown.empty());
}

TEST(Reaction, ReadsThePlayerWindowAtTheMomentOfTheReaction) {
  RingRig rig;
  rig.playerWnd = 0x00560078;  // the host handed over a new window
  rig.ring.React();
  ASSERT_EQ(rig.player.messages.size(), 1u);
  EXPECT_EQ(rig.player.messages[0].hwnd, 0x00560078);
}

}  // namespace
}  // namespace hushcall::ringwatch::testing
