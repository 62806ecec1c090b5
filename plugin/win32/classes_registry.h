// The registry as registration uses it: the classes keys of one scope
// (HKLM\Software\Classes machine-wide, HKCU\Software\Classes per user) and
// type-library registration. A seam so that a test can refuse the
// machine-wide scope, as Windows does for a user without admin rights.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace hushcall::win32 {

enum class Scope { kMachine, kUser };

class ClassesRegistry {
 public:
  virtual ~ClassesRegistry() = default;
  // `key` is relative to the scope's Software\Classes; a null name is the
  // key's default value. Creates the key as needed.
  virtual LSTATUS SetString(Scope scope, const std::wstring& key, const wchar_t* name,
                            const std::wstring& data) = 0;
  // The key and everything below it. ERROR_FILE_NOT_FOUND when absent.
  virtual LSTATUS DeleteTree(Scope scope, const std::wstring& key) = 0;
  // The key itself only if it has no subkeys left.
  virtual LSTATUS DeleteEmptyKey(Scope scope, const std::wstring& key) = 0;
  virtual bool KeyExists(Scope scope, const std::wstring& key) = 0;
  virtual HRESULT RegisterTypeLib(Scope scope, ITypeLib* library, const std::wstring& path) = 0;
  virtual HRESULT UnregisterTypeLib(Scope scope, REFGUID libid, WORD major, WORD minor) = 0;
};

// The real registry and oleaut32.
ClassesRegistry& SystemClassesRegistry();

}  // namespace hushcall::win32
