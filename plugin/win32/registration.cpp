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

constexpr const wchar_t* kOwnedKeys[] = {HC_CLSID_KEY, HC_PROGID};
constexpr wchar_t kTypeLibKey[] = L"TypeLib\\" HC_LIBID_HUSHCALL;
constexpr wchar_t kTypeLibVersionKey[] = L"TypeLib\\" HC_LIBID_HUSHCALL L"\\1.0";

HRESULT FromWin32(LSTATUS error) { return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error); }

bool Gone(LSTATUS error) { return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND; }

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
  if (!registry.KeyExists(scope, kInterfaceKey)) return WriteRows(registry, scope, kInterfaceRows, modulePath);
  return S_OK;
}

HRESULT UnregisterAt(ClassesRegistry& registry, Scope scope) {
  for (const wchar_t* key : kOwnedKeys) {
    const LSTATUS error = registry.DeleteTree(scope, key);
    if (!Gone(error)) return HRESULT_FROM_WIN32(error);
  }
  // The type library's own unregistration also removes _Plugin's interface
  // key; asked only where the library is registered, since it fails otherwise.
  if (registry.KeyExists(scope, kTypeLibVersionKey)) {
    const HRESULT hr = registry.UnregisterTypeLib(scope, LIBID_Hushcall, 1, 0);
    if (FAILED(hr)) return hr;
  }
  LSTATUS error = registry.DeleteTree(scope, kInterfaceKey);
  if (!Gone(error)) return HRESULT_FROM_WIN32(error);
  error = registry.DeleteTree(scope, kTypeLibVersionKey);
  if (!Gone(error)) return HRESULT_FROM_WIN32(error);
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
