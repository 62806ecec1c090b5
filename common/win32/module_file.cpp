#include "common/win32/module_file.h"

namespace hushcall::win32 {

std::wstring ModuleFileName(HMODULE module, std::size_t firstSize) {
  std::wstring path(firstSize > 0 ? firstSize : 1, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    // A full buffer means truncated (the count excludes the terminator).
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    if (path.size() >= 0x8000) return {};  // beyond any path the system allows
    path.resize(path.size() * 2);
  }
}

}  // namespace hushcall::win32
