#include "tools/modemsim/caller_id.h"

#include <cstdio>

namespace hushcall::modemsim {

std::optional<CallerId> ParseCallerId(const std::string& text) {
  if (text.find_first_of("\r\n") != std::string::npos) return std::nullopt;
  const std::size_t comma = text.find(',');
  CallerId caller{text.substr(0, comma), comma == std::string::npos ? "" : text.substr(comma + 1)};
  if (caller.number.empty()) return std::nullopt;
  return caller;
}

std::string CallerIdBlock(const CallerId& caller, const std::tm& when) {
  char date[64];
  std::snprintf(date, sizeof date, "DATE = %02d%02d\r\nTIME = %02d%02d\r\n", when.tm_mon + 1,
                when.tm_mday, when.tm_hour, when.tm_min);
  std::string block = "\r\n" + std::string(date) + "NMBR = " + caller.number + "\r\n";
  if (!caller.name.empty()) block += "NAME = " + caller.name + "\r\n";
  return block;
}

}  // namespace hushcall::modemsim
