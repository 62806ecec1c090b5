// The MPRIS players: followed by their bus names, acted on at a ring, put
// back after the call. Each player goes through its own small chain of
// asynchronous calls (read, act, read back); its own timeout ends each
// step, so no player waits for another.
#include "ringwatch/reactions/mpris_reaction.h"

#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <utility>

#include "common/status.h"
#include "ringwatch/dbus/bus_message.h"
#include "ringwatch/posix/loop_timer.h"

namespace hushcall::ringwatch {

namespace {

constexpr std::string_view kNamePrefix = "org.mpris.MediaPlayer2.";
// playerctld forwards to the player it counts as active: acting on it too
// would lower that player twice.
constexpr std::string_view kPlayerctld = "org.mpris.MediaPlayer2.playerctld";
constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

constexpr const char* kNameOwnerChangedRule =
    "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
    "interface='org.freedesktop.DBus',member='NameOwnerChanged',"
    "arg0namespace='org.mpris.MediaPlayer2'";
constexpr const char* kPropertiesChangedRule =
    "type='signal',path='/org/mpris/MediaPlayer2',interface='org.freedesktop.DBus.Properties',"
    "member='PropertiesChanged',arg0='org.mpris.MediaPlayer2.Player'";

bool IsPlayerName(std::string_view name) {
  if (name.substr(0, kNamePrefix.size()) != kNamePrefix || name.size() == kNamePrefix.size()) {
    return false;
  }
  return name != kPlayerctld &&
         name.substr(0, kPlayerctld.size() + 1) != std::string(kPlayerctld) + ".";
}

// Volumes are doubles a player may store with a little rounding; anything
// closer than this is the same volume.
bool SameVolume(double a, double b) { return std::fabs(a - b) < 1e-9; }

std::string VolumeText(double volume) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", volume);
  return text;
}

}  // namespace

struct MprisReaction::Player {
  Player(Bus& bus, std::string busName)
      : name(std::move(busName)), calls(bus), settle(bus.loop(), kVolumeSettleMs) {}

  enum class Step { kIdle, kReading, kLowering, kVerifying, kPausing, kStopping, kPuttingBack };
  enum class Change { kNone, kLowered, kPaused, kStopped };

  std::string name;
  std::string owner;    // its unique name, once the bus has said
  PendingCalls calls;   // this player's calls under way, cancelled with it
  LoopTimer settle;     // the wait for a new volume to show
  Step step = Step::kIdle;
  // The lowering under way.
  double lowerFrom = 0;
  // What Hushcall changed, for PutBack.
  Change change = Change::kNone;
  double volumeBefore = 0;  // the user's volume
  double volumeLeft = 0;    // the volume Hushcall left
  bool touched = false;     // the user has changed the player since
  bool putBackDue = false;  // the call ended while the reaction was under way
};

MprisReaction::MprisReaction(Bus& session, const Settings& settings, Log& log)
    : bus_(session), settings_(settings), log_(log), calls_(session) {
  // The watch first: the bus daemon answers in order, so no player that
  // appears after ListNames's answer is missed.
  nameWatch_ =
      bus_.Match(kNameOwnerChangedRule, [this](sd_bus_message& m) { OnNameOwnerChanged(m); });
  propertiesWatch_ =
      bus_.Match(kPropertiesChangedRule, [this](sd_bus_message& m) { OnPropertiesChanged(m); });
  calls_.Call(bus_.NewMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus", "ListNames"),
              kCallTimeoutUs, [this](sd_bus_message& reply) {
                if (sd_bus_message_is_method_error(&reply, nullptr)) {
                  Say("could not list the players: " + ErrorText(reply));
                  return;
                }
                for (const std::string& name : ReadStrings(reply)) {
                  if (IsPlayerName(name) && players_.count(name) == 0) Follow(name, "");
                }
              });
}

MprisReaction::~MprisReaction() = default;

std::vector<std::string> MprisReaction::Players() const {
  std::vector<std::string> names;
  for (const auto& [name, player] : players_) names.push_back(name);
  return names;
}

void MprisReaction::Say(const std::string& text) { log_.Line("MPRIS: " + text); }

void MprisReaction::Follow(const std::string& name, const std::string& owner) {
  auto it = players_.find(name);
  if (it == players_.end()) {
    it = players_.emplace(name, std::make_unique<Player>(bus_, name)).first;
    Say("following " + name);
  }
  if (!owner.empty()) {
    it->second->owner = owner;
    return;
  }
  // Its signals come from its unique name.
  auto call = bus_.NewMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus", "GetNameOwner");
  if (sd_bus_message_append(call.get(), "s", name.c_str()) < 0) Fail(kFail);
  calls_.Call(std::move(call), kCallTimeoutUs, [this, name](sd_bus_message& reply) {
    const auto it = players_.find(name);
    if (it == players_.end() || sd_bus_message_is_method_error(&reply, nullptr)) return;
    if (it->second->owner.empty()) it->second->owner = ReadString(reply);
  });
}

void MprisReaction::Forget(const std::string& name) {
  if (players_.erase(name) != 0) Say(name + " is gone");
}

MprisReaction::Player* MprisReaction::FindByOwner(std::string_view owner) {
  for (auto& [name, player] : players_) {
    if (!player->owner.empty() && player->owner == owner) return player.get();
  }
  return nullptr;
}

void MprisReaction::OnNameOwnerChanged(sd_bus_message& message) {
  const std::string name = ReadString(message);
  const std::string oldOwner = ReadString(message);
  const std::string newOwner = ReadString(message);
  if (!IsPlayerName(name)) return;
  // A new owner is a new player: what was changed on the old one is gone
  // with it.
  if (!oldOwner.empty()) Forget(name);
  if (!newOwner.empty()) Follow(name, newOwner);
}

void MprisReaction::OnPropertiesChanged(sd_bus_message& message) {
  const char* sender = sd_bus_message_get_sender(&message);
  Player* player = sender ? FindByOwner(sender) : nullptr;
  if (player == nullptr) return;
  ReadString(message);  // the interface, which the match has checked
  const Properties changed = ReadProperties(message);
  if (const auto volume = Find<double>(changed, "Volume")) {
    if (player->step == Player::Step::kVerifying) {
      if (!SameVolume(*volume, player->lowerFrom)) Lowered(*player, *volume);
    } else if (player->change == Player::Change::kLowered &&
               !SameVolume(*volume, player->volumeLeft)) {
      player->touched = true;
    }
  }
  if (const auto status = Find<std::string>(changed, "PlaybackStatus")) {
    const bool paused = player->change == Player::Change::kPaused;
    const bool stopped = player->change == Player::Change::kStopped;
    if ((paused && player->step != Player::Step::kPausing && *status != "Paused") ||
        (stopped && player->step != Player::Step::kStopping && *status != "Stopped")) {
      player->touched = true;
    }
  }
}

MessagePtr MprisReaction::PlayerCall(const Player& player, const char* interface,
                                     const char* member) {
  return bus_.NewMethodCall(player.name, kObjectPath, interface, member);
}

void MprisReaction::Ask(Player& player, MessagePtr call, MessageHandler onReply) {
  player.calls.Call(std::move(call), kCallTimeoutUs,
                    [this, &player, onReply = std::move(onReply)](sd_bus_message& reply) {
                      try {
                        onReply(reply);
                      } catch (...) {
                        EndTurn(player);
                      }
                    });
}

void MprisReaction::StopSettling(Player& player) noexcept {
  try {
    player.settle.SetEnabled(false);
  } catch (const Failure&) {
    // Disarming a timer the kernel made cannot fail; were it to, the wait's
    // handler finds the player past its read-back and does nothing.
  }
}

// An answer that cannot be read, or a next call that cannot be sent: the
// player's turn ends there, and it is free for the next ring.
void MprisReaction::EndTurn(Player& player) noexcept {
  StopSettling(player);
  player.calls.Clear();
  player.putBackDue = false;
  player.step = Player::Step::kIdle;
  try {
    Say(player.name + " could not be dealt with; left as it is");
  } catch (...) {
  }
}

void MprisReaction::FirstRing() {
  const Ring ring{settings_.Action, settings_.Volume, settings_.Percent};
  if (ring.action != kActionVolume && ring.action != kActionPause && ring.action != kActionStop) {
    if (!unknownActionLogged_ || unknownAction_ != ring.action) {
      unknownActionLogged_ = true;
      unknownAction_ = ring.action;
      Say("Action " + std::to_string(ring.action) +
          " is none Hushcall knows; the players are left alone");
    }
    return;
  }
  if (players_.empty()) {
    Say("no player to quiet");
    return;
  }
  // A player may own more than one name (its plug-in loaded twice): it is
  // quieted once, or Percent would lower it twice.
  std::set<std::string> owners;
  for (auto& [name, player] : players_) {
    if (!player->owner.empty() && !owners.insert(player->owner).second) continue;
    if (player->step != Player::Step::kIdle) {
      Say(name + " is still busy with the last ring; left alone");
      continue;
    }
    try {
      React(*player, ring);
    } catch (...) {
      // Bus::CallAsync has said why; the other players still get theirs.
      player->calls.Clear();
      player->step = Player::Step::kIdle;
    }
  }
}

void MprisReaction::React(Player& player, const Ring& ring) {
  auto call = PlayerCall(player, kPropertiesInterface, "GetAll");
  if (sd_bus_message_append(call.get(), "s", kPlayerInterface) < 0) Fail(kFail);
  player.step = Player::Step::kReading;
  Ask(player, std::move(call),
      [this, &player, ring](sd_bus_message& reply) { OnStatus(player, ring, reply); });
}

void MprisReaction::OnStatus(Player& player, const Ring& ring, sd_bus_message& reply) {
  if (sd_bus_message_is_method_error(&reply, nullptr)) {
    Say(player.name + " did not answer (" + ErrorText(reply) + "); left alone");
    Finish(player);
    return;
  }
  Properties properties;
  try {
    properties = ReadProperties(reply);
  } catch (const Failure&) {
    Say(player.name + " sent properties Hushcall cannot read; left alone");
    Finish(player);
    return;
  }
  const std::string status = Find<std::string>(properties, "PlaybackStatus").value_or("");
  if (status != "Playing") {
    Finish(player);
    return;
  }
  if (ring.action == kActionPause) {
    Pause(player);
  } else if (ring.action == kActionStop) {
    Stop(player);
  } else {
    const auto volume = Find<double>(properties, "Volume");
    if (!Find<bool>(properties, "CanControl").value_or(true)) {
      PauseInstead(player, "it cannot be controlled");
    } else if (!volume) {
      PauseInstead(player, "it has no volume");
    } else {
      // As the Windows reaction: divide first, then multiply.
      const double base = ring.percent ? *volume : 1.0;
      const double target = (ring.volume / 100.0) * base;
      if (target >= *volume) {
        Say(player.name + " is already at " + VolumeText(*volume) + ", not above " +
            VolumeText(target) + "; left as it is");
        Finish(player);
      } else {
        Lower(player, *volume, target);
      }
    }
  }
}

void MprisReaction::Lower(Player& player, double before, double target) {
  auto call = PlayerCall(player, kPropertiesInterface, "Set");
  if (sd_bus_message_append(call.get(), "ssv", kPlayerInterface, "Volume", "d", target) < 0)
    Fail(kFail);
  player.step = Player::Step::kLowering;
  player.lowerFrom = before;
  Ask(player, std::move(call), [this, &player](sd_bus_message& reply) {
    if (player.step != Player::Step::kLowering) return;
    if (sd_bus_message_is_method_error(&reply, nullptr)) {
      PauseInstead(player, "it refused the volume: " + ErrorText(reply));
      return;
    }
    player.step = Player::Step::kVerifying;
    ReadBackVolume(player, false);
  });
}

// Reads the volume back; a PropertiesChanged may show it first. Unchanged
// at the first look, the player has kVolumeSettleMs to show it, then one
// more look decides.
void MprisReaction::ReadBackVolume(Player& player, bool last) {
  auto call = PlayerCall(player, kPropertiesInterface, "Get");
  if (sd_bus_message_append(call.get(), "ss", kPlayerInterface, "Volume") < 0) Fail(kFail);
  Ask(player, std::move(call), [this, &player, last](sd_bus_message& reply) {
    if (player.step != Player::Step::kVerifying) return;
    std::optional<double> now;
    if (!sd_bus_message_is_method_error(&reply, nullptr)) {
      const PropertyValue value = ReadVariant(reply);
      if (const double* volume = std::get_if<double>(&value)) now = *volume;
    }
    if (now && !SameVolume(*now, player.lowerFrom)) {
      Lowered(player, *now);
    } else if (!last) {
      player.settle.SetOnTimer([this, &player] {
        try {
          player.settle.SetEnabled(false);  // once
          if (player.step == Player::Step::kVerifying) ReadBackVolume(player, true);
        } catch (...) {
          EndTurn(player);
        }
      });
      player.settle.SetEnabled(true);
    } else {
      PauseInstead(player, now ? "its volume stayed at " + VolumeText(*now)
                               : "its volume could not be read back");
    }
  });
}

void MprisReaction::Lowered(Player& player, double now) {
  // A read-back still on its way has nothing left to decide.
  StopSettling(player);
  player.calls.Clear();
  // Lowered again before the last call's end was known: the user's volume
  // is still the one from before the first lowering.
  if (player.change != Player::Change::kLowered || player.touched)
    player.volumeBefore = player.lowerFrom;
  player.change = Player::Change::kLowered;
  player.volumeLeft = now;
  player.touched = false;
  Say("lowered " + player.name + " from " + VolumeText(player.lowerFrom) + " to " +
      VolumeText(now));
  Finish(player);
}

void MprisReaction::PauseInstead(Player& player, std::string_view why) {
  StopSettling(player);
  player.calls.Clear();
  Say(player.name + " was not lowered (" + std::string(why) + "); pausing it instead");
  Pause(player);
}

void MprisReaction::Pause(Player& player) {
  player.step = Player::Step::kPausing;
  Ask(player, PlayerCall(player, kPlayerInterface, "Pause"),
      [this, &player](sd_bus_message& reply) {
        if (sd_bus_message_is_method_error(&reply, nullptr)) {
          Say(player.name + " did not pause (" + ErrorText(reply) + ")");
        } else {
          player.change = Player::Change::kPaused;
          player.touched = false;
          Say("paused " + player.name);
        }
        Finish(player);
      });
}

void MprisReaction::Stop(Player& player) {
  player.step = Player::Step::kStopping;
  Ask(player, PlayerCall(player, kPlayerInterface, "Stop"), [this, &player](sd_bus_message& reply) {
    if (sd_bus_message_is_method_error(&reply, nullptr)) {
      Say(player.name + " did not stop (" + ErrorText(reply) + ")");
    } else {
      player.change = Player::Change::kStopped;
      player.touched = false;
      Say("stopped " + player.name);
    }
    Finish(player);
  });
}

void MprisReaction::Finish(Player& player) {
  player.step = Player::Step::kIdle;
  if (player.putBackDue) {
    player.putBackDue = false;
    StartPutBack(player);
  }
}

void MprisReaction::PutBack() {
  for (auto& [name, player] : players_) {
    switch (player->step) {
      case Player::Step::kReading:
        // Nothing changed yet, and nothing will be.
        player->calls.Clear();
        player->step = Player::Step::kIdle;
        break;
      case Player::Step::kLowering:
      case Player::Step::kVerifying:
      case Player::Step::kPausing:
        player->putBackDue = true;
        continue;
      case Player::Step::kIdle:
      case Player::Step::kStopping:
      case Player::Step::kPuttingBack:
        break;
    }
    if (player->step == Player::Step::kIdle) StartPutBack(*player);
  }
}

// Puts back what the player's record says, if the player still shows what
// Hushcall left; the record is forgotten either way.
void MprisReaction::StartPutBack(Player& player) noexcept {
  try {
    PutBackRecord(player);
  } catch (...) {
    EndTurn(player);
  }
}

void MprisReaction::PutBackRecord(Player& player) {
  const Player::Change change = player.change;
  const double before = player.volumeBefore;
  const double left = player.volumeLeft;
  const bool touched = player.touched;
  player.change = Player::Change::kNone;
  player.touched = false;
  if (change == Player::Change::kNone) return;
  if (touched) {
    Say(player.name + " was changed since the ring; left as it is");
    return;
  }
  player.step = Player::Step::kPuttingBack;
  const auto done = [&player] { player.step = Player::Step::kIdle; };
  if (change == Player::Change::kLowered) {
    auto call = PlayerCall(player, kPropertiesInterface, "Get");
    if (sd_bus_message_append(call.get(), "ss", kPlayerInterface, "Volume") < 0) Fail(kFail);
    Ask(player, std::move(call), [this, &player, before, left, done](sd_bus_message& reply) {
      std::optional<double> now;
      if (!sd_bus_message_is_method_error(&reply, nullptr)) {
        const PropertyValue value = ReadVariant(reply);
        if (const double* volume = std::get_if<double>(&value)) now = *volume;
      }
      if (!now || !SameVolume(*now, left)) {
        Say(player.name + "'s volume was changed since the ring; left as it is");
        done();
        return;
      }
      auto set = PlayerCall(player, kPropertiesInterface, "Set");
      if (sd_bus_message_append(set.get(), "ssv", kPlayerInterface, "Volume", "d", before) < 0) {
        Fail(kFail);
      }
      Ask(player, std::move(set), [this, &player, before, done](sd_bus_message& answer) {
        if (sd_bus_message_is_method_error(&answer, nullptr)) {
          Say(player.name + " did not take its volume back (" + ErrorText(answer) + ")");
        } else {
          Say("put " + player.name + "'s volume back to " + VolumeText(before));
        }
        done();
      });
    });
  } else {
    auto call = PlayerCall(player, kPropertiesInterface, "Get");
    if (sd_bus_message_append(call.get(), "ss", kPlayerInterface, "PlaybackStatus") < 0)
      Fail(kFail);
    // Played again only from the very state Hushcall left it in.
    const std::string left = change == Player::Change::kPaused ? "Paused" : "Stopped";
    Ask(player, std::move(call), [this, &player, left, done](sd_bus_message& reply) {
      std::string status;
      if (!sd_bus_message_is_method_error(&reply, nullptr)) {
        const PropertyValue value = ReadVariant(reply);
        if (const std::string* text = std::get_if<std::string>(&value)) status = *text;
      }
      if (status != left) {
        Say(player.name + " was changed since the ring; left as it is");
        done();
        return;
      }
      Ask(player, PlayerCall(player, kPlayerInterface, "Play"),
          [this, &player, done](sd_bus_message& answer) {
            if (sd_bus_message_is_method_error(&answer, nullptr)) {
              Say(player.name + " did not play again (" + ErrorText(answer) + ")");
            } else {
              Say("played " + player.name + " again");
            }
            done();
          });
    });
  }
}

}  // namespace hushcall::ringwatch
