#include "plugin/win32/classes_registry.h"

#include "common/win32/unique.h"

// Declared in the Windows SDK's oleauto.h but not in MinGW's; liboleaut32.a
// has both.
extern "C" HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path, OLECHAR* helpDir);
extern "C" HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libid, WORD major, WORD minor, LCID lcid,
                                                   SYSKIND syskind);

namespace hushcall::win32 {
namespace {

HKEY Root(Scope scope) { return scope == Scope::kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }
std::wstring Path(const wchar_t* key) { return std::wstring(L"Software\\Classes\\") + key; }

class SystemRegistry final : public ClassesRegistry {
 public:
  Edition edition() const override { return kThisEdition; }

  LSTATUS SetString(Scope scope, const wchar_t* key, const wchar_t* name, const std::wstring& data) override {
    unique_hkey hkey;
    LSTATUS error = RegCreateKeyExW(Root(scope), Path(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_SET_VALUE, nullptr, hkey.put(), nullptr);
    if (error != ERROR_SUCCESS) return error;
    return RegSetValueExW(hkey.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  }

  LSTATUS DeleteTree(Scope scope, const wchar_t* key) override {
    // Given a subkey, RegDeleteTree removes that key itself too.
    return RegDeleteTreeW(Root(scope), Path(key).c_str());
  }

  LSTATUS DeleteEmptyKey(Scope scope, const wchar_t* key) override {
    return RegDeleteKeyW(Root(scope), Path(key).c_str());
  }

  bool KeyExists(Scope scope, Edition view, const wchar_t* key) override {
    unique_hkey hkey;
    const REGSAM flag = view == Edition::k64Bit ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    return RegOpenKeyExW(Root(scope), Path(key).c_str(), 0, KEY_READ | flag, hkey.put()) == ERROR_SUCCESS;
  }

  HRESULT RegisterTypeLib(Scope scope, ITypeLib* library, const std::wstring& path) override {
    std::wstring copy = path;  // the API takes a non-const string
    return scope == Scope::kMachine ? ::RegisterTypeLib(library, copy.data(), nullptr)
                                    : RegisterTypeLibForUser(library, copy.data(), nullptr);
  }

  HRESULT UnregisterTypeLib(Scope scope, REFGUID libid, WORD major, WORD minor, SYSKIND syskind) override {
    return scope == Scope::kMachine ? ::UnRegisterTypeLib(libid, major, minor, 0, syskind)
                                    : UnRegisterTypeLibForUser(libid, major, minor, 0, syskind);
  }

};

}  // namespace

ClassesRegistry& SystemClassesRegistry() {
  static SystemRegistry registry;
  return registry;
}

}  // namespace hushcall::win32
