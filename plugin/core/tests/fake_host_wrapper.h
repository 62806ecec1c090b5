// The host's wrapper, logging "SetDescription(name)" and
// "GetPlayerWindow(hwnd)", with the statuses and faults a test sets.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/status.h"
#include "plugin/core/plugin_logic.h"
#include "tests/support/call_log.h"

namespace hushcall::testing {

// Something a fake does instead of its work, to see that the boundary
// catches it; null does the work.
using Fault = std::function<void()>;

class FakeHostWrapper : public HostWrapper {
 public:
  explicit FakeHostWrapper(CallLog& log) : log_(log) {}

  Status SetDescription(std::u16string_view name) override {
    log_.push_back("SetDescription(" + std::string(name.begin(), name.end()) + ")");
    if (setDescriptionFault) setDescriptionFault();
    return setDescriptionStatus;
  }

  Status GetPlayerWindow(std::int32_t* hwnd) override {
    log_.push_back("GetPlayerWindow(" + std::to_string(*hwnd) + ")");
    if (getPlayerWindowFault) getPlayerWindowFault();
    if (playerWindow) *hwnd = *playerWindow;
    return getPlayerWindowStatus;
  }

  Status setDescriptionStatus = kOk;
  Fault setDescriptionFault;
  Status getPlayerWindowStatus = kOk;
  Fault getPlayerWindowFault;
  std::optional<std::int32_t> playerWindow = 0x10A2C;  // not written when empty

 private:
  CallLog& log_;
};

}  // namespace hushcall::testing
