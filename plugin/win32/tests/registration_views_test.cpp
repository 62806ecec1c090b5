// Both editions registered on one machine: what unregistering one of them
// may take, played against a model of 64-bit Windows' two registry views.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <set>

#include "plugin/win32/registration.h"
#include "plugin/win32/tests/test_support.h"

namespace hushcall::win32::test {
namespace {

constexpr Edition kEditions[] = {Edition::k32Bit, Edition::k64Bit};

std::wstring Lower(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
  return text;
}

// One machine's classes keys in both scopes. CLSID and Interface are kept
// per view, everything else (the ProgID, TypeLib) once for both, as 64-bit
// Windows does. Where there is one view only (32-bit Windows, or Wine's
// per-user classes) every key is kept once.
struct Machine {
  explicit Machine(bool oneView = false) : oneView(oneView) {
    for (Scope scope : {Scope::kMachine, Scope::kUser})
      for (const wchar_t* parent : {L"CLSID", L"Interface", L"TypeLib"}) keys.insert(Where(scope, Edition::k32Bit, parent));
    untouched = keys;
  }
  const bool oneView;
  std::set<std::wstring> keys;  // "<scope>|<view>|<path>", lower case
  std::set<std::wstring> untouched;
  std::vector<SYSKIND> unregisteredLibraries;

  std::wstring Where(Scope scope, Edition view, const std::wstring& key) const {
    const std::wstring path = Lower(key);
    const bool perView = !oneView && (path.rfind(L"clsid\\", 0) == 0 || path.rfind(L"interface\\", 0) == 0);
    const wchar_t* viewName = !perView ? L"both" : view == Edition::k64Bit ? L"64" : L"32";
    return std::wstring(scope == Scope::kMachine ? L"machine|" : L"user|") + viewName + L"|" + path;
  }
  bool Has(Scope scope, Edition view, const std::wstring& key) const {
    return keys.count(Where(scope, view, key)) != 0;
  }
  std::wstring Dump() const {
    std::wstring all;
    for (const std::wstring& key : keys) all += key + L"\n";
    return all;
  }
};

// The registry as one edition sees the machine. oleaut32 is played as Wine 8
// was measured to behave: registering writes _Plugin's interface key into
// both views; unregistering removes it from both, then the version key once
// no platform subkey is left under it.
class EditionView final : public ClassesRegistry {
 public:
  EditionView(Machine& machine, Edition edition) : machine_(machine), edition_(edition) {}
  bool refuseMachineWide = false;

  Edition edition() const override { return edition_; }
  LSTATUS SetString(Scope scope, const wchar_t* key, const wchar_t*, const std::wstring&) override {
    if (scope == Scope::kMachine && refuseMachineWide) return ERROR_ACCESS_DENIED;
    Create(scope, edition_, key);
    return ERROR_SUCCESS;
  }
  LSTATUS DeleteTree(Scope scope, const wchar_t* key) override { return Delete(scope, edition_, key); }
  LSTATUS DeleteEmptyKey(Scope scope, const wchar_t* key) override { return DeleteEmpty(scope, key); }
  bool KeyExists(Scope scope, Edition view, const wchar_t* key) override { return machine_.Has(scope, view, key); }
  HRESULT RegisterTypeLib(Scope scope, ITypeLib*, const std::wstring&) override {
    if (scope == Scope::kMachine && refuseMachineWide) return TYPE_E_REGISTRYACCESS;
    const std::wstring version = L"TypeLib\\" + GuidText(LIBID_Hushcall) + L"\\1.0";
    Create(scope, edition_, version + L"\\FLAGS");
    Create(scope, edition_, version + L"\\HELPDIR");
    Create(scope, edition_, version + (edition_ == Edition::k64Bit ? L"\\0\\win64" : L"\\0\\win32"));
    for (Edition view : kEditions) Create(scope, view, InterfaceKey() + L"\\TypeLib");
    return S_OK;
  }
  HRESULT UnregisterTypeLib(Scope scope, REFGUID libid, WORD, WORD, SYSKIND syskind) override {
    machine_.unregisteredLibraries.push_back(syskind);
    const std::wstring version = L"TypeLib\\" + GuidText(libid) + L"\\1.0";
    if (Delete(scope, edition_, version + (syskind == SYS_WIN64 ? L"\\0\\win64" : L"\\0\\win32")) != ERROR_SUCCESS)
      return TYPE_E_LIBNOTREGISTERED;
    for (Edition view : kEditions) Delete(scope, view, InterfaceKey());
    if (DeleteEmpty(scope, version + L"\\0") == ERROR_SUCCESS) Delete(scope, edition_, version);
    return S_OK;
  }

 private:
  LSTATUS DeleteEmpty(Scope scope, const std::wstring& key) {
    const std::wstring where = machine_.Where(scope, edition_, key);
    if (!machine_.keys.count(where)) return ERROR_FILE_NOT_FOUND;
    auto next = machine_.keys.upper_bound(where);
    if (next != machine_.keys.end() && next->rfind(where + L"\\", 0) == 0) return ERROR_ACCESS_DENIED;
    machine_.keys.erase(where);
    return ERROR_SUCCESS;
  }
  static std::wstring InterfaceKey() { return L"Interface\\" + GuidText(IID__Plugin); }
  void Create(Scope scope, Edition view, const std::wstring& key) {
    for (size_t end = key.find(L'\\'); end != std::wstring::npos; end = key.find(L'\\', end + 1))
      machine_.keys.insert(machine_.Where(scope, view, key.substr(0, end)));
    machine_.keys.insert(machine_.Where(scope, view, key));
  }
  LSTATUS Delete(Scope scope, Edition view, const std::wstring& key) {
    const std::wstring where = machine_.Where(scope, view, key);
    if (!machine_.keys.count(where)) return ERROR_FILE_NOT_FOUND;
    std::erase_if(machine_.keys, [&](const std::wstring& k) { return k == where || k.rfind(where + L"\\", 0) == 0; });
    return ERROR_SUCCESS;
  }

  Machine& machine_;
  Edition edition_;
};

const std::wstring kClsidKey = L"CLSID\\" + GuidText(CLSID_Plugin) + L"\\InprocServer32";
const std::wstring kInterfaceKey = L"Interface\\" + GuidText(IID__Plugin);
const std::wstring kProgIdKey = L"Hushcall.Plugin\\CLSID";
std::wstring PlatformKey(Edition edition) {
  return L"TypeLib\\" + GuidText(LIBID_Hushcall) + (edition == Edition::k64Bit ? L"\\1.0\\0\\win64" : L"\\1.0\\0\\win32");
}

TEST(EditionsOnOneMachine, EitherGoesAloneAndTheLastTakesTheSharedKeysWithIt) {
  for (Edition first : kEditions) {
    const Edition second = OtherEdition(first);
    SCOPED_TRACE(testing::Message() << "first unregistered: " << (first == Edition::k32Bit ? "32" : "64") << "-bit");
    Machine machine;
    EditionView firstView(machine, first), secondView(machine, second);
    ASSERT_EQ(RegisterServer(firstView, DllPath()), S_OK);
    ASSERT_EQ(RegisterServer(secondView, DllPath()), S_OK);

    ASSERT_EQ(UnregisterServer(firstView), S_OK);
    const Scope m = Scope::kMachine;
    EXPECT_FALSE(machine.Has(m, first, kClsidKey));
    EXPECT_FALSE(machine.Has(m, first, PlatformKey(first)));
    EXPECT_TRUE(machine.Has(m, second, kClsidKey));
    EXPECT_TRUE(machine.Has(m, second, PlatformKey(second)));
    EXPECT_TRUE(machine.Has(m, second, kProgIdKey));
    EXPECT_TRUE(machine.Has(m, second, kInterfaceKey + L"\\TypeLib"));
    // oleaut32 would take the remaining edition's interface key with it.
    EXPECT_TRUE(machine.unregisteredLibraries.empty());

    ASSERT_EQ(UnregisterServer(secondView), S_OK);
    EXPECT_EQ(machine.unregisteredLibraries, std::vector<SYSKIND>{TypeLibSysKind(second)});
    EXPECT_EQ(machine.keys, machine.untouched) << machine.Dump();
  }
}

// Checked for the other edition before this edition's own class key is
// gone, that key would be taken for the other's.
TEST(EditionsOnOneMachine, WhereBothViewsAreOneTheOnlyEditionStillRemovesEverything) {
  for (Edition edition : kEditions) {
    Machine machine(/*oneView=*/true);
    EditionView view(machine, edition);
    ASSERT_EQ(RegisterServer(view, DllPath()), S_OK);
    ASSERT_EQ(UnregisterServer(view), S_OK);
    EXPECT_EQ(machine.keys, machine.untouched) << machine.Dump();
  }
}

// The other edition counts only where it is registered: per user, one
// edition's shared keys are its own; machine-wide, the other's stay.
TEST(EditionsOnOneMachine, APerUserEditionGoesWholeAndLeavesTheMachineWideOneAlone) {
  for (Edition perUser : kEditions) {
    Machine machine;
    EditionView machineWide(machine, OtherEdition(perUser)), user(machine, perUser);
    user.refuseMachineWide = true;
    ASSERT_EQ(RegisterServer(machineWide, DllPath()), S_OK);
    const std::set<std::wstring> machineWideKeys = machine.keys;
    ASSERT_EQ(RegisterServer(user, DllPath()), S_OK);
    ASSERT_TRUE(machine.Has(Scope::kUser, perUser, kProgIdKey));

    ASSERT_EQ(UnregisterServer(user), S_OK);
    EXPECT_EQ(machine.keys, machineWideKeys) << machine.Dump();
  }
}

}  // namespace
}  // namespace hushcall::win32::test
