// Initialize and Quit as the host drives them, against a hand-written fake
// Wrapper, with the settings going through the real registry.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "options/win32/control_ids.h"
#include "plugin/win32/tests/test_support.h"

namespace hushcall::win32::test {
namespace {

// Records what the plug-in asked of it, in order; each call can be failed.
class FakeWrapper final : public ::Wrapper {
 public:
  std::vector<std::wstring> calls;
  HRESULT setDescriptionResult = S_OK;
  HRESULT getPlayerWindowResult = S_OK;
  bool writesWindow = true;
  LONG window = 0x1234;
  LONG refs = 1;

  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_Wrapper) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }  // lives on the stack
  STDMETHODIMP Reserved() override {
    calls.push_back(L"Reserved");
    return S_OK;
  }
  STDMETHODIMP SetDescription(BSTR description) override {
    calls.push_back(L"SetDescription(" + std::wstring(description, SysStringLen(description)) + L")");
    return setDescriptionResult;
  }
  STDMETHODIMP GetPlayerWindow(LONG* hwnd) override {
    calls.push_back(L"GetPlayerWindow(" + std::to_wstring(*hwnd) + L")");
    if (writesWindow) *hwnd = window;
    return getPlayerWindowResult;
  }
};

const std::wstring kStoreKey = L"Software\\VB and VBA Program Settings\\Hushcall\\Common";
const wchar_t* const kKeys[] = {L"Action", L"Volume", L"Percent", L"Popup", L"Enabled", L"COMPort"};
using Stored = std::array<std::optional<std::wstring>, 6>;

void ClearStore() { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Hushcall"); }

void Store(const wchar_t* key, const std::wstring& text) {
  unique_hkey hkey;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kStoreKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            hkey.put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(hkey.get(), key, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

Stored ReadStore() {
  Stored stored;
  for (size_t i = 0; i < stored.size(); ++i) stored[i] = ReadString(HKEY_CURRENT_USER, kStoreKey, kKeys[i]);
  return stored;
}

Stored Values(std::array<const wchar_t*, 6> texts) {
  Stored stored;
  for (size_t i = 0; i < texts.size(); ++i) stored[i] = std::wstring(texts[i]);
  return stored;
}

com_ptr<ITavWinAmpGenPlugin> NewPlugin() {
  com_ptr<IUnknown> object = CreatePlugin();
  com_ptr<ITavWinAmpGenPlugin> plugin;
  if (object) object->QueryInterface(IID_ITavWinAmpGenPlugin, plugin.put_void());
  return plugin;
}

class HostCalls : public testing::Test {
 protected:
  void SetUp() override {
    ClearStore();
    plugin = NewPlugin();
    ASSERT_TRUE(plugin);
  }
  void TearDown() override { ClearStore(); }

  // Declared before the plug-in, which may still hold them when it goes.
  FakeWrapper host;
  FakeWrapper second;
  com_ptr<ITavWinAmpGenPlugin> plugin;
};

TEST_F(HostCalls, InitializeNamesThePluginThenAsksForThePlayerWindow) {
  EXPECT_EQ(plugin->Initialize(&host), S_OK);
  EXPECT_EQ(host.calls, (std::vector<std::wstring>{L"SetDescription(Hushcall)", L"GetPlayerWindow(0)"}));
}

TEST_F(HostCalls, EmptyStoreLoadsDefaultsThatQuitWritesBack) {
  ASSERT_EQ(plugin->Initialize(&host), S_OK);
  EXPECT_EQ(ReadStore(), Stored{}) << "Initialize only reads the store";
  ASSERT_EQ(plugin->Quit(), S_OK);
  EXPECT_EQ(ReadStore(), Values({L"122", L"50", L"0", L"0", L"0", L"1"}));
}

TEST_F(HostCalls, StoredValuesRoundTripInTheirPlainForm) {
  Store(L"Action", L"40046");
  Store(L"Volume", L"12.5");
  Store(L"Percent", L" 2");
  Store(L"Popup", L"yes");
  Store(L"COMPort", L"2.5");
  ASSERT_EQ(plugin->Initialize(&host), S_OK);
  ASSERT_EQ(plugin->Quit(), S_OK);
  EXPECT_EQ(ReadStore(), Values({L"40046", L"12", L"1", L"0", L"0", L"2"}));
}

// A bad value ends loading at its key: the keys before it are loaded, the
// rest keep what was in memory, and the store is left as it was, even by
// the Quit after it (the earlier session's values are not written).
struct BadValue {
  const wchar_t* key;
  const wchar_t* text;
  HRESULT status;
  Stored afterQuit;
};

class BadStoredValue : public HostCalls, public testing::WithParamInterface<BadValue> {};

TEST_P(BadStoredValue, FailsInitializeAndTouchesNothingElse) {
  // Known settings in memory first.
  ASSERT_EQ(plugin->Initialize(&host), S_OK);
  ASSERT_EQ(plugin->Quit(), S_OK);

  Store(L"Action", L"40047");
  Store(L"Popup", L"1");
  Store(GetParam().key, GetParam().text);
  const Stored before = ReadStore();
  EXPECT_EQ(plugin->Initialize(&second), GetParam().status);
  EXPECT_EQ(ReadStore(), before);

  ASSERT_EQ(plugin->Quit(), S_OK);
  EXPECT_EQ(ReadStore(), GetParam().afterQuit);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, BadStoredValue,
    testing::Values(
        BadValue{L"Action", L"abc", DISP_E_TYPEMISMATCH, Values({L"abc", L"50", L"0", L"1", L"0", L"1"})},
        BadValue{L"Action", L"", DISP_E_TYPEMISMATCH, Values({L"", L"50", L"0", L"1", L"0", L"1"})},
        BadValue{L"Volume", L"300", DISP_E_OVERFLOW, Values({L"40047", L"300", L"0", L"1", L"0", L"1"})},
        BadValue{L"Volume", L"-1", DISP_E_OVERFLOW, Values({L"40047", L"-1", L"0", L"1", L"0", L"1"})},
        BadValue{L"COMPort", L"256", DISP_E_OVERFLOW, Values({L"40047", L"50", L"0", L"1", L"0", L"256"})}));

struct HostFailure {
  const char* name;
  HRESULT setDescription;
  HRESULT getPlayerWindow;
  HRESULT expected;
  size_t callsMade;
};

class FailingHost : public HostCalls, public testing::WithParamInterface<HostFailure> {};

TEST_P(FailingHost, EndsInitializeWithTheHostsStatusAndLoadsNothing) {
  Store(L"Action", L"40046");
  host.setDescriptionResult = GetParam().setDescription;
  host.getPlayerWindowResult = GetParam().getPlayerWindow;
  EXPECT_EQ(plugin->Initialize(&host), GetParam().expected);
  EXPECT_EQ(host.calls.size(), GetParam().callsMade);
  if (FAILED(GetParam().expected)) return;
  ASSERT_EQ(plugin->Quit(), S_OK);
  EXPECT_EQ(ReadStore()[0], std::wstring(L"40046"));
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, FailingHost,
    testing::Values(HostFailure{"SetDescriptionFails", E_ACCESSDENIED, S_OK, E_ACCESSDENIED, 1},
                    HostFailure{"GetPlayerWindowFails", S_OK, E_FAIL, E_FAIL, 2},
                    // Only the severity bit makes a failure.
                    HostFailure{"SFalseIsSuccess", S_FALSE, S_FALSE, S_OK, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HostCalls, NullWrapperIsRefusedWithoutCallingIt) {
  EXPECT_EQ(plugin->Initialize(nullptr), E_POINTER);
}

TEST_F(HostCalls, WrapperIsHeldUntilTheObjectGoes) {
  ASSERT_EQ(plugin->Initialize(&host), S_OK);
  EXPECT_EQ(host.refs, 2);
  ASSERT_EQ(plugin->Quit(), S_OK);
  EXPECT_EQ(host.refs, 2) << "Quit keeps the Wrapper";

  ASSERT_EQ(plugin->Initialize(&second), S_OK);
  EXPECT_EQ(host.refs, 1) << "a second Initialize releases the first Wrapper";
  EXPECT_EQ(second.refs, 2);

  plugin.reset();
  EXPECT_EQ(second.refs, 1);
}

TEST_F(HostCalls, WrapperIsHeldEvenWhenItFails) {
  host.setDescriptionResult = E_FAIL;
  EXPECT_EQ(plugin->Initialize(&host), E_FAIL);
  EXPECT_EQ(host.refs, 2);
}

// Presses Cancel on the options dialog once it is shown; runs inside the
// dialog's modal loop, as a person's click would.
void CALLBACK CancelOptionsDialog(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = FindWindowW(L"#32770", kOptionsDialogCaption);
  if (dialog == nullptr || !IsWindowVisible(dialog)) return;
  KillTimer(nullptr, timer);
  SendMessageW(GetDlgItem(dialog, ControlWindowId(ControlId::cmdCancel)), BM_CLICK, 0, 0);
}

TEST_F(HostCalls, ConfigureShowsTheDialogAndReturnsWhenItIsClosed) {
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, CancelOptionsDialog);
  ASSERT_NE(timer, 0u);
  EXPECT_EQ(plugin->Configure(), S_OK);
  HWND dialog = FindWindowW(L"#32770", kOptionsDialogCaption);
  EXPECT_TRUE(dialog == nullptr || !IsWindowVisible(dialog));
  EXPECT_EQ(plugin->Quit(), S_OK);
  // Quit unloads the dialog: its window is gone.
  EXPECT_EQ(FindWindowW(L"#32770", kOptionsDialogCaption), nullptr);
}

// The player unloads us after quit whether or not the settings could be
// written: the dialog and with it the port and timer must be gone.
TEST_F(HostCalls, QuitIntoAnUnwritableStoreStillUnloadsTheDialog) {
  // A volatile product key refuses the lasting section under it.
  unique_hkey product;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Hushcall", 0, nullptr,
                            REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, product.put(), nullptr),
            ERROR_SUCCESS);
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, CancelOptionsDialog);
  ASSERT_NE(timer, 0u);
  ASSERT_EQ(plugin->Configure(), S_OK);
  ASSERT_NE(FindWindowW(L"#32770", kOptionsDialogCaption), nullptr);
  EXPECT_EQ(plugin->Quit(), HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
  EXPECT_EQ(FindWindowW(L"#32770", kOptionsDialogCaption), nullptr);
}

}  // namespace
}  // namespace hushcall::win32::test
