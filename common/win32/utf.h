// UTF-8 <-> UTF-16 at the boundary between the portable code (UTF-8) and
// the Windows API (UTF-16).
#pragma once

#include <string>
#include <string_view>

namespace hushcall::win32 {

// Invalid sequences become U+FFFD, as the system's conversion makes them.
// A text too long for the system's int-sized lengths converts to nothing.
std::wstring WidenUtf8(std::string_view text);
std::string NarrowToUtf8(std::wstring_view text);

}  // namespace hushcall::win32
