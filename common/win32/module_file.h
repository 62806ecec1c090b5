// The full path of a loaded module, however long: paths beyond MAX_PATH
// exist, and a truncated one names another file.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace hushcall::win32 {

// Of the program when `module` is null; empty when the system can't tell.
// The buffer starts at `firstSize` characters and doubles while too small.
std::wstring ModuleFileName(HMODULE module, std::size_t firstSize = MAX_PATH);

}  // namespace hushcall::win32
