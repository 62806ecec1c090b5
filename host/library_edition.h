// Which edition's build a DLL is, read from the file's PE header: a
// Hushcall.dll of the other kind fails to load as a mere "bad image", and
// the user should rather be told which build it is.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "common/win32/edition.h"

namespace hushcall::host {

// The edition whose machine the file's COFF header names; nothing when the
// file can't be read, is no PE image, or is for another machine.
std::optional<win32::Edition> LibraryEdition(const std::wstring& path);

// CreatePluginFromLibrary's status for a library of the other edition,
// which this process can't load.
inline constexpr HRESULT kLibraryOfOtherEdition = __HRESULT_FROM_WIN32(ERROR_EXE_MACHINE_TYPE_MISMATCH);

}  // namespace hushcall::host
