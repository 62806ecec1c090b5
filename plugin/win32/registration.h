// DllRegisterServer and DllUnregisterServer as data: the rows that register
// the class Plugin and its programmatic identifier, plus the type library.
#pragma once

#include <windows.h>

#include <span>
#include <string>

#include "plugin/win32/classes_registry.h"

namespace hushcall::win32 {

// One value under a scope's Software\Classes. `data` may be kModulePath.
struct RegistryRow {
  const wchar_t* key;
  const wchar_t* name;  // null: the key's default value
  const wchar_t* data;
};
inline constexpr wchar_t kModulePath[] = L"<module path>";

std::span<const RegistryRow> RegistrationRows();

// Registers machine-wide; where that can't be written, per user.
HRESULT RegisterServer(ClassesRegistry& registry, const std::wstring& modulePath);
// Removes this edition's registration in both scopes, and what it shares
// with the other edition (the ProgID, the type library's version key) once
// that one has none left there; keys that are already gone count as removed.
HRESULT UnregisterServer(ClassesRegistry& registry);

}  // namespace hushcall::win32
