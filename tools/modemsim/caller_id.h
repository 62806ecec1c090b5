// The caller ID a modem sends after a call's first ring, once the PC has
// asked for it with AT+VCID=1.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace hushcall::modemsim {

struct CallerId {
  std::string number;  // "P": withheld, "O": unavailable
  std::string name;    // empty: no NAME line
};

// "NUMBER" or "NUMBER,NAME" as --caller takes it; nullopt for an empty
// number or one with a line break in it.
std::optional<CallerId> ParseCallerId(const std::string& text);

// The block as real modems send it after RING: a blank line, then
// "DATE = MMDD", "TIME = HHMM", "NMBR = ..." and "NAME = ...", each ended
// by CR LF, with the date and time of `when`.
std::string CallerIdBlock(const CallerId& caller, const std::tm& when);

}  // namespace hushcall::modemsim
