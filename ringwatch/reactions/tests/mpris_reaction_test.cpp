// The MPRIS reaction against fake players on a session bus of the test's
// own: what each Action does to a playing player, players that will not be
// lowered, players that hang or vanish, playerctld, and putting back only
// what the user has not changed since.
#include "ringwatch/reactions/mpris_reaction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ringwatch/dbus/bus_message.h"
#include "ringwatch/dbus/tests/bus_rig.h"
#include "settings/settings.h"

namespace hushcall::ringwatch {
namespace {

using testing::FakePlayer;
using testing::RecordingLog;
using testing::RunFor;
using testing::RunUntil;
using testing::TestConnection;

constexpr int kWaitMs = 5000;

class MprisReactionTest : public ::testing::Test {
 protected:
  MprisReactionTest() : bus_(loop_, BusKind::kSession, log_, nullptr), test_(BusKind::kSession) {
    settings_.Action = kActionVolume;
    settings_.Volume = 30;
    settings_.Percent = false;
  }

  // Starts the reaction and waits until it follows `players` (and knows
  // their unique names, which their signals come from).
  void Start(const std::vector<const FakePlayer*>& players) {
    reaction_.emplace(bus_, settings_, log_);
    std::vector<std::string> expected;
    for (const FakePlayer* player : players) expected.push_back(player->busName());
    std::sort(expected.begin(), expected.end());
    ASSERT_TRUE(RunUntil(
        loop_, [&] { return reaction_->Players() == expected; }, kWaitMs))
        << "the reaction did not find the players";
    Sync();
  }

  // One round trip to the bus daemon: what it was asked before has been
  // answered.
  void Sync() {
    bool answered = false;
    Slot call = bus_.CallAsync(bus_.NewMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "GetId"),
                               2000000, [&](sd_bus_message&) { answered = true; });
    ASSERT_TRUE(RunUntil(
        loop_, [&] { return answered; }, kWaitMs));
  }

  bool WaitForLog(const std::string& part, std::size_t count = 1) {
    return RunUntil(
        loop_, [&] { return log_.Count(part) >= count; }, kWaitMs);
  }

  EventLoop loop_;
  RecordingLog log_;
  Bus bus_;
  TestConnection test_;
  Settings settings_;
  std::optional<MprisReaction> reaction_;
};

TEST_F(MprisReactionTest, VolumeLowersPlayingPlayersToTheExactTargetAndPutBackRestoresThem) {
  FakePlayer loud(test_, "Loud", "obey", 0.8);
  FakePlayer quiet(test_, "Quiet", "obey", 0.2);
  FakePlayer idle(test_, "Idle", "obey", 0.8, "Paused");
  Start({&loud, &quiet, &idle});

  // 30 % of full volume.
  reaction_->FirstRing();
  ASSERT_TRUE(WaitForLog("lowered org.mpris.MediaPlayer2.Loud from 0.8 to 0.3"));
  EXPECT_EQ(loud.Volume(), 30 / 100.0);
  // Never raised: 0.2 is below 30 %.
  ASSERT_TRUE(WaitForLog("org.mpris.MediaPlayer2.Quiet is already at 0.2"));
  EXPECT_EQ(quiet.Volume(), 0.2);
  EXPECT_TRUE(quiet.Calls("Set").empty());
  // Not playing: not touched.
  RunUntil(
      loop_, [&] { return !idle.Calls("GetAll").empty(); }, kWaitMs);
  EXPECT_TRUE(idle.Calls("Set").empty());
  EXPECT_TRUE(idle.Calls("Pause").empty());

  reaction_->PutBack();
  ASSERT_TRUE(WaitForLog("put org.mpris.MediaPlayer2.Loud's volume back to 0.8"));
  EXPECT_EQ(loud.Volume(), 0.8);
  // Put back once, then forgotten.
  reaction_->PutBack();
  RunFor(loop_, 200);
  EXPECT_EQ(loud.Calls("Set Volume").size(), 2u);

  // 30 % of the current volume, divided first as the Windows reaction does.
  settings_.Percent = true;
  reaction_->FirstRing();
  ASSERT_TRUE(WaitForLog("lowered org.mpris.MediaPlayer2.Loud", 2));
  ASSERT_TRUE(WaitForLog("lowered org.mpris.MediaPlayer2.Quiet"));
  EXPECT_EQ(loud.Volume(), (30 / 100.0) * 0.8);
  EXPECT_EQ(quiet.Volume(), (30 / 100.0) * 0.2);
}

// mpv with its MPRIS plug-in loaded twice owns two names: Percent must
// still take it down once.
TEST_F(MprisReactionTest, APlayerWithTwoNamesIsLoweredOnce) {
  FakePlayer twice(test_, "Twice", "two-names", 0.8);
  reaction_.emplace(bus_, settings_, log_);
  ASSERT_TRUE(RunUntil(
      loop_, [&] { return reaction_->Players().size() == 2; }, kWaitMs));
  Sync();
  settings_.Percent = true;
  reaction_->FirstRing();
  ASSERT_TRUE(WaitForLog("lowered org.mpris.MediaPlayer2.Twice"));
  RunFor(loop_, 300);
  EXPECT_EQ(twice.Calls("Set Volume").size(), 1u);
  EXPECT_EQ(twice.Volume(), (30 / 100.0) * 0.8);
}

TEST_F(MprisReactionTest, PauseAndStopActOnPlayingPlayersAndPutBackPlaysThemAgain) {
  FakePlayer playing(test_, "Playing", "obey");
  FakePlayer paused(test_, "AlreadyPaused", "obey", 0.8, "Paused");
  Start({&playing, &paused});

  settings_.Action = kActionPause;
  reaction_->FirstRing();
  ASSERT_TRUE(WaitForLog("paused org.mpris.MediaPlayer2.Playing"));
  EXPECT_EQ(playing.Status(), "Paused");
  EXPECT_EQ(playing.Volume(), 0.8);
  reaction_->PutBack();
  ASSERT_TRUE(WaitForLog("played org.mpris.MediaPlayer2.Playing again"));
  EXPECT_EQ(playing.Status(), "Playing");
  // A player the user had paused is neither paused nor played by Hushcall.
  EXPECT_TRUE(paused.Calls("Pause").empty());
  EXPECT_TRUE(paused.Calls("Play").empty());

  settings_.Action = kActionStop;
  reaction_->FirstRing();
  ASSERT_TRUE(WaitForLog("stopped org.mpris.MediaPlayer2.Playing"));
  EXPECT_EQ(playing.Status(), "Stopped");
  reaction_->PutBack();
  ASSERT_TRUE(WaitForLog("played org.mpris.MediaPlayer2.Playing again", 2));
  EXPECT_EQ(playing.Status(), "Playing");
  EXPECT_TRUE(paused.Calls("Stop").empty());
  EXPECT_TRUE(paused.Calls("Play").empty());

  // Started again by the user during the call: left as it is.
  reaction_->FirstRing();
  ASSERT_TRUE(WaitForLog("stopped org.mpris.MediaPlayer2.Playing", 2));
  playing.UserSetStatus("Playing", true);
  RunFor(loop_, 200);
  reaction_->PutBack();
  ASSERT_TRUE(WaitForLog("was changed since the ring; left as it is"));
  EXPECT_EQ(playing.Calls("Play").size(), 2u);
}

TEST_F(MprisReactionTest, AnUnknownActionIsLoggedOnceAndChangesNothing) {
  FakePlayer player(test_, "Unknown", "obey");
  Start({&player});
  settings_.Action = 12345;
  reaction_->FirstRing();
  reaction_->FirstRing();
  RunFor(loop_, 200);
  EXPECT_EQ(log_.Count("Action 12345"), 1u);
  EXPECT_TRUE(player.Calls().empty());
}

TEST_F(MprisReactionTest, PlayersThatWillNotBeLoweredArePausedInsteadAndPlayedAgain) {
  struct Refusal {
    const char* name;
    const char* mode;
    const char* why;  // as the log gives it
  };
  const Refusal refusals[] = {
      {"NoVolume", "no-volume", "(it has no volume)"},
      {"SetFails", "set-fails", "(it refused the volume: org.freedesktop.DBus.Error.AccessDenied"},
      {"IgnoresSet", "ignores-set", "(its volume stayed at 0.8)"},
      {"CannotControl", "cannot-control", "(it cannot be controlled)"},
  };
  std::vector<std::unique_ptr<FakePlayer>> players;
  std::vector<const FakePlayer*> all;
  for (const Refusal& refusal : refusals) {
    players.push_back(std::make_unique<FakePlayer>(test_, refusal.name, refusal.mode));
    all.push_back(players.back().get());
  }
  Start(all);

  reaction_->FirstRing();
  for (std::size_t i = 0; i < players.size(); ++i) {
    SCOPED_TRACE(refusals[i].name);
    const std::string name = players[i]->busName();
    ASSERT_TRUE(WaitForLog("paused " + name));
    EXPECT_TRUE(log_.Has(name + " was not lowered " + refusals[i].why));
    EXPECT_EQ(players[i]->Status(), "Paused");
  }
  // The one that answered but kept its volume had its 500 ms to show it.
  const auto set = players[2]->Calls("Set Volume");
  const auto pause = players[2]->Calls("Pause");
  ASSERT_EQ(set.size(), 1u);
  ASSERT_EQ(pause.size(), 1u);
  EXPECT_GE(pause[0].atMs - set[0].atMs, kVolumeSettleMs - 20);

  reaction_->PutBack();
  for (const auto& player : players) {
    ASSERT_TRUE(WaitForLog("played " + player->busName() + " again"));
    EXPECT_EQ(player->Status(), "Playing");
  }
}

TEST_F(MprisReactionTest, HungAndVanishingPlayersDelayNobodyAndPlayerctldIsLeftAlone) {
  FakePlayer obeying(test_, "Obeying", "obey");
  FakePlayer hung(test_, "Hung", "hang");
  FakePlayer vanishing(test_, "Vanishing", "vanish");
  // playerctld forwards to the others; it must not count as a player.
  FakePlayer playerctld(test_, "playerctld", "obey");
  Start({&obeying, &hung, &vanishing});

  const std::int64_t ring = loop_.NowMs();
  reaction_->FirstRing();
  EXPECT_LT(loop_.NowMs() - ring, 50) << "FirstRing waited";
  ASSERT_TRUE(WaitForLog("lowered org.mpris.MediaPlayer2.Obeying"));
  const auto set = obeying.Calls("Set Volume");
  ASSERT_EQ(set.size(), 1u);
  // Well before the hung player's own call could have timed out.
  EXPECT_LT(set[0].atMs - ring, 400);
  EXPECT_EQ(obeying.Volume(), 0.3);
  ASSERT_TRUE(RunUntil(loop_, [&] { return hung.Calls("GetAll").size() == 1; }, kWaitMs));
  ASSERT_TRUE(RunUntil(
      loop_, [&] { return !vanishing.Running(); }, kWaitMs));
  ASSERT_TRUE(WaitForLog("org.mpris.MediaPlayer2.Vanishing is gone"));

  // The call ends while the hung player still has not answered; the next
  // call rings at once, and the obeying player is lowered again at once.
  reaction_->PutBack();
  ASSERT_TRUE(WaitForLog("put org.mpris.MediaPlayer2.Obeying's volume back to 0.8"));
  const std::int64_t secondRing = loop_.NowMs();
  EXPECT_LT(secondRing - ring, static_cast<std::int64_t>(kCallTimeoutUs / 1000));
  reaction_->FirstRing();
  ASSERT_TRUE(WaitForLog("lowered org.mpris.MediaPlayer2.Obeying", 2));
  const auto sets = obeying.Calls("Set Volume");
  ASSERT_EQ(sets.size(), 3u);
  EXPECT_LT(sets[2].atMs - secondRing, 400);

  ASSERT_TRUE(WaitForLog("org.mpris.MediaPlayer2.Hung did not answer"));
  EXPECT_EQ(hung.Calls("GetAll").size(), 2u);
  EXPECT_TRUE(hung.Calls("Set").empty());
  EXPECT_TRUE(playerctld.Calls().empty());
  EXPECT_EQ(reaction_->Players(), (std::vector<std::string>{hung.busName(), obeying.busName()}));
}

TEST_F(MprisReactionTest, PutBackLeavesAlonePlayersTheUserChangedSince) {
  FakePlayer untouched(test_, "Untouched", "obey");
  FakePlayer changed(test_, "Changed", "obey");  // the change is signalled
  FakePlayer quietly(test_, "Quietly", "obey");  // no signal: only a re-read tells
  FakePlayer backAgain(test_, "BackAgain", "obey");
  Start({&untouched, &changed, &quietly, &backAgain});

  reaction_->FirstRing();
  ASSERT_TRUE(WaitForLog("lowered ", 4));
  changed.UserSetVolume(0.5, true);
  quietly.UserSetVolume(0.6, false);
  // Changed, then set back to the very volume Hushcall left.
  backAgain.UserSetVolume(0.7, true);
  backAgain.UserSetVolume(0.3, true);
  RunFor(loop_, 200);
  reaction_->PutBack();
  ASSERT_TRUE(WaitForLog("put org.mpris.MediaPlayer2.Untouched's volume back to 0.8"));
  ASSERT_TRUE(WaitForLog("left as it is", 3));
  EXPECT_EQ(untouched.Volume(), 0.8);
  EXPECT_EQ(changed.Volume(), 0.5);
  EXPECT_EQ(quietly.Volume(), 0.6);
  EXPECT_EQ(backAgain.Volume(), 0.3);

  settings_.Action = kActionPause;
  reaction_->FirstRing();
  ASSERT_TRUE(WaitForLog("paused ", 4));
  changed.UserSetStatus("Playing", true);
  quietly.UserSetStatus("Stopped", false);
  backAgain.UserSetStatus("Playing", true);
  backAgain.UserSetStatus("Paused", true);
  RunFor(loop_, 200);
  reaction_->PutBack();
  ASSERT_TRUE(WaitForLog("played org.mpris.MediaPlayer2.Untouched again"));
  ASSERT_TRUE(WaitForLog("left as it is", 6));
  EXPECT_EQ(untouched.Status(), "Playing");
  EXPECT_EQ(quietly.Status(), "Stopped");
  EXPECT_EQ(backAgain.Status(), "Paused");
  EXPECT_TRUE(changed.Calls("Play").empty());
  EXPECT_TRUE(quietly.Calls("Play").empty());
  EXPECT_TRUE(backAgain.Calls("Play").empty());
}

}  // namespace
}  // namespace hushcall::ringwatch
