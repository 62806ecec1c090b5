// The registry as registration uses it: the classes keys of one scope
// (HKLM\Software\Classes machine-wide, HKCU\Software\Classes per user) as
// one edition sees them, and type-library registration. A seam so that a
// test can refuse the machine-wide scope, as Windows does for a user
// without admin rights, or play either edition against a model of both
// registry views.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "common/win32/edition.h"

namespace hushcall::win32 {

enum class Scope { kMachine, kUser };

// How an edition's type library describes itself, and so the platform
// subkey (win32, win64) its registration is written under.
constexpr SYSKIND TypeLibSysKind(Edition edition) {
  return edition == Edition::k64Bit ? SYS_WIN64 : SYS_WIN32;
}

class ClassesRegistry {
 public:
  virtual ~ClassesRegistry() = default;
  // The edition whose registry view the methods act in, unless they name
  // one: the real registry's is this process's own.
  virtual Edition edition() const = 0;
  // `key` is relative to the scope's Software\Classes; a null name is the
  // key's default value. Creates the key as needed.
  virtual LSTATUS SetString(Scope scope, const wchar_t* key, const wchar_t* name, const std::wstring& data) = 0;
  // The key and everything below it. ERROR_FILE_NOT_FOUND when absent.
  virtual LSTATUS DeleteTree(Scope scope, const wchar_t* key) = 0;
  // The key itself only if it has no subkeys left.
  virtual LSTATUS DeleteEmptyKey(Scope scope, const wchar_t* key) = 0;
  // In `view`'s registry view (KEY_WOW64_32KEY or KEY_WOW64_64KEY): the own
  // edition's for its own keys, the other's for that one's class key. Where
  // there is one view only (32-bit Windows; Wine's per-user classes) both
  // are the same.
  virtual bool KeyExists(Scope scope, Edition view, const wchar_t* key) = 0;
  virtual HRESULT RegisterTypeLib(Scope scope, ITypeLib* library, const std::wstring& path) = 0;
  // Removes the library's `syskind` registration and, as oleaut32 does,
  // its interfaces' keys in both views.
  virtual HRESULT UnregisterTypeLib(Scope scope, REFGUID libid, WORD major, WORD minor, SYSKIND syskind) = 0;
};

// The real registry and oleaut32, in this process's own view.
ClassesRegistry& SystemClassesRegistry();

}  // namespace hushcall::win32
