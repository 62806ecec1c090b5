// Registration: machine-wide through the DLL's own export, with creation by
// ProgID and CLSID; per user when the machine-wide keys are refused.
#include <gtest/gtest.h>

#include "plugin/win32/registration.h"
#include "plugin/win32/tests/test_support.h"

namespace hushcall::win32::test {
namespace {

const std::wstring kClasses = L"Software\\Classes\\";
const std::wstring kClsidKey = L"CLSID\\" + GuidText(CLSID_Plugin);

// The real registry, except that the machine-wide scope refuses writes, as
// it does for a user without admin rights.
class MachineWideRefused final : public ClassesRegistry {
 public:
  Edition edition() const override { return real.edition(); }
  LSTATUS SetString(Scope scope, const wchar_t* key, const wchar_t* name, const std::wstring& data) override {
    if (scope == Scope::kMachine) return ERROR_ACCESS_DENIED;
    return real.SetString(scope, key, name, data);
  }
  LSTATUS DeleteTree(Scope scope, const wchar_t* key) override { return real.DeleteTree(scope, key); }
  LSTATUS DeleteEmptyKey(Scope scope, const wchar_t* key) override { return real.DeleteEmptyKey(scope, key); }
  bool KeyExists(Scope scope, Edition view, const wchar_t* key) override { return real.KeyExists(scope, view, key); }
  HRESULT RegisterTypeLib(Scope scope, ITypeLib* library, const std::wstring& path) override {
    if (scope == Scope::kMachine) return TYPE_E_REGISTRYACCESS;
    return real.RegisterTypeLib(scope, library, path);
  }
  HRESULT UnregisterTypeLib(Scope scope, REFGUID libid, WORD major, WORD minor, SYSKIND syskind) override {
    return real.UnregisterTypeLib(scope, libid, major, minor, syskind);
  }

  ClassesRegistry& real = SystemClassesRegistry();
};

TEST(RegistrationRows, NameTheClassItsServerAndProgId) {
  bool server = false, progId = false, threading = false;
  for (const RegistryRow& row : RegistrationRows()) {
    const std::wstring key = row.key;
    EXPECT_TRUE(key.rfind(kClsidKey, 0) == 0 || key.rfind(L"Hushcall.Plugin", 0) == 0) << key;
    if (key == kClsidKey + L"\\InprocServer32" && !row.name) server = row.data == kModulePath;
    if (key == kClsidKey + L"\\InprocServer32" && row.name)
      threading = std::wstring(row.name) == L"ThreadingModel" && std::wstring(row.data) == L"Apartment";
    if (key == L"Hushcall.Plugin\\CLSID") progId = row.data == GuidText(CLSID_Plugin);
  }
  EXPECT_TRUE(server);
  EXPECT_TRUE(threading);
  EXPECT_TRUE(progId);
}

TEST(Registration, MachineWideRegistersClassProgIdTypeLibAndInterface) {
  ASSERT_EQ(TheDll().RegisterServer(), S_OK);

  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kClasses + kClsidKey + L"\\InprocServer32"), DllPath());
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kClasses + kClsidKey + L"\\InprocServer32", L"ThreadingModel"),
            std::wstring(L"Apartment"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"Interface\\" + GuidText(IID__Plugin)));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + GuidText(LIBID_Hushcall) + L"\\1.0"));

  CLSID fromProgId = GUID_NULL;
  EXPECT_EQ(CLSIDFromProgID(L"Hushcall.Plugin", &fromProgId), S_OK);
  EXPECT_EQ(fromProgId, CLSID_Plugin);

  com_ptr<ITavWinAmpGenPlugin> byClsid;
  EXPECT_EQ(CoCreateInstance(CLSID_Plugin, nullptr, CLSCTX_INPROC_SERVER, IID_ITavWinAmpGenPlugin,
                             byClsid.put_void()),
            S_OK);
  com_ptr<IDispatch> byProgId;
  EXPECT_EQ(CoCreateInstance(fromProgId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, byProgId.put_void()), S_OK);

  com_ptr<ITypeLib> registered;
  EXPECT_EQ(LoadRegTypeLib(LIBID_Hushcall, 1, 0, 0, registered.put()), S_OK);
  byClsid.reset();
  byProgId.reset();

  ASSERT_EQ(TheDll().UnregisterServer(), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + kClsidKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + L"Hushcall.Plugin"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Interface\\" + GuidText(IID__Plugin)));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + GuidText(LIBID_Hushcall)));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"Interface\\" + GuidText(IID_IDispatch))) << "shared keys stay";
}

TEST(Registration, UnregisteringTwiceIsNoFailure) {
  EXPECT_EQ(TheDll().UnregisterServer(), S_OK);
  EXPECT_EQ(TheDll().UnregisterServer(), S_OK);
}

TEST(Registration, FallsBackToPerUserWhenMachineWideIsRefused) {
  MachineWideRefused registry;
  ASSERT_EQ(RegisterServer(registry, DllPath()), S_OK);

  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + kClsidKey));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kClasses + kClsidKey + L"\\InprocServer32"), DllPath());
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kClasses + kClsidKey + L"\\InprocServer32", L"ThreadingModel"),
            std::wstring(L"Apartment"));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kClasses + kClsidKey + L"\\ProgID"), std::wstring(L"Hushcall.Plugin"));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kClasses + L"Hushcall.Plugin\\CLSID"), GuidText(CLSID_Plugin));
  // Wine registers a per-user type library machine-wide, so only its
  // presence is checked, not its scope.
  com_ptr<ITypeLib> registered;
  EXPECT_EQ(LoadRegTypeLib(LIBID_Hushcall, 1, 0, 0, registered.put()), S_OK);
  registered.reset();

  ASSERT_EQ(UnregisterServer(registry), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kClasses + kClsidKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kClasses + L"Hushcall.Plugin"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + GuidText(LIBID_Hushcall)));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes")) << "shared parents stay";
}

}  // namespace
}  // namespace hushcall::win32::test
