// UTF-8 <-> UTF-16 for the boundary between the portable core (UTF-8) and
// the Windows API (UTF-16).
#pragma once

#include <string>
#include <string_view>

namespace hushcall::win32 {

// Invalid sequences become U+FFFD, as MultiByteToWideChar does.
std::wstring WidenUtf8(std::string_view text);
std::string NarrowToUtf8(std::wstring_view text);

// The user locale's decimal separator ("." or "," ...), as UTF-8.
std::string UserDecimalSeparator();

}  // namespace hushcall::win32
