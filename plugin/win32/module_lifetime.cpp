#include "plugin/win32/module_lifetime.h"

namespace hushcall::win32 {
namespace {

HINSTANCE g_instance = nullptr;
LONG g_refs = 0;

}  // namespace

void SetModuleInstance(HINSTANCE instance) { g_instance = instance; }
HINSTANCE ModuleInstance() { return g_instance; }

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(g_instance, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // truncated: try a larger buffer
  }
}

void AddModuleRef() { InterlockedIncrement(&g_refs); }
void ReleaseModuleRef() { InterlockedDecrement(&g_refs); }
LONG ModuleRefCount() { return g_refs; }

}  // namespace hushcall::win32
