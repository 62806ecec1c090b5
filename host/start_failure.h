// What the user is told when the plug-in cannot start.
#pragma once

#include <windows.h>

#include <string>

namespace hushcall::host {

inline constexpr wchar_t kStartFailureTitle[] = L"Hushcall";

// "Hushcall could not start: " and the reason: the system's text for the
// status, a short one of ours for those the settings conversions produce
// and for a Hushcall.dll of the other edition, or the number when neither
// exists.
std::wstring StartFailureText(HRESULT hr);

}  // namespace hushcall::host
