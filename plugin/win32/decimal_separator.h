// The user locale's decimal separator, which the strict number conversion
// of the stored settings reads.
#pragma once

#include <string>

namespace hushcall::win32 {

// "." or "," ..., as UTF-8; "." when the locale cannot tell.
std::string UserDecimalSeparator();

}  // namespace hushcall::win32
