// The one log every fake writes into, so that a test can assert the order of
// calls across seams. An entry is the call as written in code, arguments in
// parentheses without spaces ("RThreshold(0)", "ShowEnabled(cmdApply,false)"),
// a property set as "Name=value", a query as "Name?".
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace hushcall::testing {

using CallLog = std::vector<std::string>;

// The parts one after the other, to spell a long log from named pieces.
inline CallLog Join(std::initializer_list<CallLog> parts) {
  CallLog all;
  for (const CallLog& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Readable form of text that holds CR and LF.
inline std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

}  // namespace hushcall::testing
