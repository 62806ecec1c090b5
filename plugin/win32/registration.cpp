#include "plugin/win32/registration.h"

#include <oleauto.h>

#include <iterator>

#include "Hushcall.h"
#include "common/win32/unique.h"

namespace hushcall::win32 {
namespace {

#define HC_CLSID_PLUGIN L"{2BEAE623-8F5F-4E4D-9AC2-356FF3995917}"
#define HC_LIBID_HUSHCALL L"{29A6D473-CD3D-4B7A-B70D-B8E7D63ED0B7}"
#define HC_IID_PLUGIN L"{665A15F1-7469-4B48-A846-39C377D76035}"
// Automation's marshaller for interfaces described by a type library.
#define HC_PSOA L"{00020424-0000-0000-C000-000000000046}"

#define HC_CLSID_KEY L"CLSID\\" HC_CLSID_PLUGIN
#define HC_PROGID L"Hushcall.Plugin"

constexpr RegistryRow kRows[] = {
    {HC_CLSID_KEY, nullptr, L"Hushcall Plugin"},
    {HC_CLSID_KEY L"\\InprocServer32", nullptr, kModulePath},
    {HC_CLSID_KEY L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
    {HC_CLSID_KEY L"\\ProgID", nullptr, HC_PROGID},
    {HC_CLSID_KEY L"\\VersionIndependentProgID", nullptr, HC_PROGID},
    {HC_CLSID_KEY L"\\TypeLib", nullptr, HC_LIBID_HUSHCALL},
    {HC_CLSID_KEY L"\\Version", nullptr, L"1.0"},
    {HC_PROGID, nullptr, L"Hushcall Plugin"},
    {HC_PROGID L"\\CLSID", nullptr, HC_CLSID_PLUGIN},
};

// _Plugin's interface key, written only if type-library registration did
// not write it (it should: the interface is dual).
constexpr wchar_t kInterfaceKey[] = L"Interface\\" HC_IID_PLUGIN;
constexpr RegistryRow kInterfaceRows[] = {
    {kInterfaceKey, nullptr, L"_Plugin"},
    {L"Interface\\" HC_IID_PLUGIN L"\\ProxyStubClsid", nullptr, HC_PSOA},
    {L"Interface\\" HC_IID_PLUGIN L"\\ProxyStubClsid32", nullptr, HC_PSOA},
    {L"Interface\\" HC_IID_PLUGIN L"\\TypeLib", nullptr, HC_LIBID_HUSHCALL},
    {L"Interface\\" HC_IID_PLUGIN L"\\TypeLib", L"Version", L"1.0"},
};

constexpr wchar_t kClsidKey[] = HC_CLSID_KEY;
constexpr wchar_t kTypeLibKey[] = L"TypeLib\\" HC_LIBID_HUSHCALL;
constexpr wchar_t kTypeLibVersionKey[] = L"TypeLib\\" HC_LIBID_HUSHCALL L"\\1.0";
// Shared by the two editions, so removed with the last of them: the ProgID
// and the type library's version key are one key for both registry views,
// and oleaut32 writes _Plugin's interface key into both views for either.
constexpr const wchar_t* kSharedKeys[] = {HC_PROGID, kInterfaceKey, kTypeLibVersionKey};

// One edition's registration of the library: oleaut32 writes it under the
// library's locale (0, neutral) and a subkey named after its SYSKIND.
const wchar_t* PlatformKey(Edition edition) {
  return TypeLibSysKind(edition) == SYS_WIN64 ? L"TypeLib\\" HC_LIBID_HUSHCALL L"\\1.0\\0\\win64"
                                              : L"TypeLib\\" HC_LIBID_HUSHCALL L"\\1.0\\0\\win32";
}

HRESULT FromWin32(LSTATUS error) { return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error); }

// The key and its tree; one that is already gone counts as removed.
HRESULT Remove(ClassesRegistry& registry, Scope scope, const wchar_t* key) {
  const LSTATUS error = registry.DeleteTree(scope, key);
  return error == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(error);
}

HRESULT WriteRows(ClassesRegistry& registry, Scope scope, std::span<const RegistryRow> rows,
                  const std::wstring& modulePath) {
  for (const RegistryRow& row : rows) {
    const std::wstring data = row.data == kModulePath ? modulePath : std::wstring(row.data);
    const HRESULT hr = FromWin32(registry.SetString(scope, row.key, row.name, data));
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT RegisterAt(ClassesRegistry& registry, Scope scope, const std::wstring& modulePath) {
  HRESULT hr = WriteRows(registry, scope, kRows, modulePath);
  if (FAILED(hr)) return hr;

  com_ptr<ITypeLib> library;
  hr = LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, library.put());
  if (FAILED(hr)) return hr;
  hr = registry.RegisterTypeLib(scope, library.get(), modulePath);
  if (FAILED(hr)) return hr;
  if (!registry.KeyExists(scope, registry.edition(), kInterfaceKey))
    return WriteRows(registry, scope, kInterfaceRows, modulePath);
  return S_OK;
}

HRESULT UnregisterAt(ClassesRegistry& registry, Scope scope) {
  const Edition edition = registry.edition();
  // This edition's own class key, in its own registry view.
  HRESULT hr = Remove(registry, scope, kClsidKey);
  if (FAILED(hr)) return hr;
  // While the other edition is registered, only this edition's platform
  // subkey of the type library goes too.
  if (registry.KeyExists(scope, OtherEdition(edition), kClsidKey))
    return Remove(registry, scope, PlatformKey(edition));
  // The type library's own unregistration also removes _Plugin's interface
  // keys; asked only where the library is registered, since it fails otherwise.
  if (registry.KeyExists(scope, edition, PlatformKey(edition))) {
    hr = registry.UnregisterTypeLib(scope, LIBID_Hushcall, 1, 0, TypeLibSysKind(edition));
    if (FAILED(hr)) return hr;
  }
  for (const wchar_t* key : kSharedKeys) {
    hr = Remove(registry, scope, key);
    if (FAILED(hr)) return hr;
  }
  // The LIBID key goes only once no other version of it is registered.
  registry.DeleteEmptyKey(scope, kTypeLibKey);
  return S_OK;
}

}  // namespace

std::span<const RegistryRow> RegistrationRows() { return kRows; }

HRESULT RegisterServer(ClassesRegistry& registry, const std::wstring& modulePath) {
  const HRESULT hr = RegisterAt(registry, Scope::kMachine, modulePath);
  if (SUCCEEDED(hr)) return hr;
  // A user without admin rights: drop what got written and register for
  // this user alone.
  UnregisterAt(registry, Scope::kMachine);
  return RegisterAt(registry, Scope::kUser, modulePath);
}

HRESULT UnregisterServer(ClassesRegistry& registry) {
  const HRESULT user = UnregisterAt(registry, Scope::kUser);
  const HRESULT machine = UnregisterAt(registry, Scope::kMachine);
  return FAILED(machine) ? machine : user;
}

}  // namespace hushcall::win32
