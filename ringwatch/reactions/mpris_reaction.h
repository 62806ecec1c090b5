// The first ring's reaction for the Linux desktop: every MPRIS player on the
// session bus that is playing is lowered, paused or stopped, each on its own
// asynchronous calls, so that a hung or vanishing player costs nobody else
// anything. What Hushcall changed is remembered per player and put back
// when the call has ended, where the user has not changed it since.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/core/call_reaction.h"
#include "ringwatch/dbus/bus.h"
#include "ringwatch/dbus/pending_calls.h"
#include "ringwatch/posix/log.h"
#include "settings/settings.h"

namespace hushcall::ringwatch {

// A player that took the new volume has it within this long of its answer.
inline constexpr int kVolumeSettleMs = 500;

class MprisReaction final : public CallReaction {
 public:
  // Follows the players on `session` (org.mpris.MediaPlayer2.*, but not
  // playerctld, which only forwards to the others) from now on. `settings`
  // is read at each ring.
  MprisReaction(Bus& session, const Settings& settings, Log& log);
  ~MprisReaction() override;
  MprisReaction(const MprisReaction&) = delete;
  MprisReaction& operator=(const MprisReaction&) = delete;

  // Never waits. Asks every player whether it is playing and acts on those
  // that are: Action 122 lowers the volume (a player that will not be
  // lowered is paused instead), 40046 pauses, 40047 stops; any other Action
  // is logged once and does nothing. A player still busy with the last ring
  // is left alone. Never throws: each player's trouble is logged.
  void FirstRing() override;

  // The call has ended: puts back what the rings changed (a lowered volume,
  // a paused player played again) on each player that still shows what
  // Hushcall left, then forgets it. A reaction still under way is put back
  // as soon as it has finished. Never waits.
  void PutBack();

  // The bus names of the players followed now.
  std::vector<std::string> Players() const;

 private:
  struct Player;
  struct Ring {
    std::int32_t action;
    std::uint8_t volume;
    bool percent;
  };

  void OnNameOwnerChanged(sd_bus_message& message);
  void OnPropertiesChanged(sd_bus_message& message);
  void Follow(const std::string& name, const std::string& owner);
  void Forget(const std::string& name);
  Player* FindByOwner(std::string_view owner);

  void React(Player& player, const Ring& ring);
  void OnStatus(Player& player, const Ring& ring, sd_bus_message& reply);
  void Lower(Player& player, double before, double target);
  void ReadBackVolume(Player& player, bool last);
  void Lowered(Player& player, double now);
  void PauseInstead(Player& player, std::string_view why);
  void Pause(Player& player);
  void Stop(Player& player);
  void Finish(Player& player);
  static void StopSettling(Player& player) noexcept;
  void StartPutBack(Player& player) noexcept;
  void PutBackRecord(Player& player);
  void EndTurn(Player& player) noexcept;

  MessagePtr PlayerCall(const Player& player, const char* interface, const char* member);
  // Calls the player with its timeout; a reply handler that fails ends the
  // player's turn instead of leaving it busy.
  void Ask(Player& player, MessagePtr call, MessageHandler onReply);
  void Say(const std::string& text);

  Bus& bus_;
  const Settings& settings_;
  Log& log_;
  PendingCalls calls_;  // the bus daemon's answers: ListNames, GetNameOwner
  Slot nameWatch_;
  Slot propertiesWatch_;
  std::map<std::string, std::unique_ptr<Player>, std::less<>> players_;
  bool unknownActionLogged_ = false;
  std::int32_t unknownAction_ = 0;
};

}  // namespace hushcall::ringwatch
