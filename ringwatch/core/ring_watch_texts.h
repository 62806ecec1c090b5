// What the ring watch tells the user.
#pragma once

#include <string>
#include <string_view>

namespace hushcall::ringwatch {

inline constexpr std::string_view kModemFailureText =
    "Unable to find modem on specified COM Port, modem is being used, or modem is slow "
    "responding to initialization. Press Yes to retry, No to change COM port, or Cancel to "
    "disable Hushcall.";
inline constexpr std::string_view kRingingText = "The phone is ringing!";

// Told once when the watched line goes away.
inline std::string LineLostText(int port) {
  return "Hushcall lost the modem on COM" + std::to_string(port) +
         ". It will watch again when the modem is back.";
}

}  // namespace hushcall::ringwatch
