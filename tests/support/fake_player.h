// The player's window: logs "Send(msg,wParam,lParam)", keeps every message
// and answers from a script.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "ringwatch/core/player_window.h"
#include "tests/support/call_log.h"

namespace hushcall::testing {

struct PlayerMessage {
  std::int32_t hwnd;
  std::uint32_t msg;
  std::int32_t wParam;
  std::int32_t lParam;
  bool operator==(const PlayerMessage&) const = default;
};

class FakePlayer final : public ringwatch::PlayerWindow {
 public:
  explicit FakePlayer(CallLog& log) : log_(log) {}

  std::deque<std::int32_t> answers;  // one per message; 0 past the script
  std::vector<PlayerMessage> messages;

  std::int32_t Send(std::int32_t hwnd, std::uint32_t msg, std::int32_t wParam,
                    std::int32_t lParam) override {
    log_.push_back("Send(" + std::to_string(msg) + "," + std::to_string(wParam) + "," +
                   std::to_string(lParam) + ")");
    messages.push_back({hwnd, msg, wParam, lParam});
    if (answers.empty()) return 0;
    const std::int32_t answer = answers.front();
    answers.pop_front();
    return answer;
  }

 private:
  CallLog& log_;
};

}  // namespace hushcall::testing
