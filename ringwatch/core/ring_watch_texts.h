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
inline std::string LineLostText(std::string_view port) {
  return "Hushcall lost the modem on " + std::string(port) +
         ". It will watch again when the modem is back.";
}

// Told once when a modem that nobody can be asked about does not answer.
inline std::string NoModemText(std::string_view port) {
  return "Hushcall cannot find a modem on " + std::string(port) +
         ", or it is in use or slow to answer. It will try again every 2 seconds.";
}

}  // namespace hushcall::ringwatch
