#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/win32/module_file.h"
#include "host/host_session.h"
#include "host/library_edition.h"
#include "host/start_failure.h"
#include "host/wrapper_object.h"

namespace hushcall::host {
namespace {

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

struct WrapperFixture : ::testing::Test {
  void SetUp() override { ASSERT_EQ(WrapperObject::Create(player, &wrapper), S_OK); }
  void TearDown() override {
    if (wrapper) EXPECT_EQ(wrapper->Release(), 0u);
  }
  HWND player = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x0002004C));
  Wrapper* wrapper = nullptr;
};

TEST_F(WrapperFixture, StartsWithOneReferenceAndCountsThem) {
  EXPECT_EQ(RefCount(wrapper), 1u);
  EXPECT_EQ(wrapper->AddRef(), 2u);
  EXPECT_EQ(wrapper->Release(), 1u);
}

TEST_F(WrapperFixture, AnswersItsOwnInterfaceAndIUnknownOnly) {
  void* out = nullptr;
  EXPECT_EQ(wrapper->QueryInterface(IID_Wrapper, &out), S_OK);
  EXPECT_EQ(out, static_cast<void*>(wrapper));
  EXPECT_EQ(RefCount(wrapper), 2u);
  static_cast<IUnknown*>(out)->Release();
  EXPECT_EQ(wrapper->QueryInterface(IID_IUnknown, &out), S_OK);
  static_cast<IUnknown*>(out)->Release();
  out = reinterpret_cast<void*>(1);
  for (const IID* iid : {&IID_IDispatch, &IID_ITavWinAmpGenPlugin, &IID_IClassFactory}) {
    EXPECT_EQ(wrapper->QueryInterface(*iid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
  }
  EXPECT_EQ(wrapper->QueryInterface(IID_Wrapper, nullptr), E_POINTER);
  EXPECT_EQ(RefCount(wrapper), 1u);
}

TEST_F(WrapperFixture, ReservedIsNotImplemented) { EXPECT_EQ(wrapper->Reserved(), E_NOTIMPL); }

TEST_F(WrapperFixture, SetDescriptionRecordsACopyAndLeavesTheStringToTheCaller) {
  BSTR name = ::SysAllocString(L"Hushcall");
  EXPECT_EQ(wrapper->SetDescription(name), S_OK);
  // Still the caller's: readable after the call and freed exactly once here.
  EXPECT_EQ(std::wstring(name), L"Hushcall");
  ::SysFreeString(name);
  EXPECT_EQ(static_cast<WrapperObject*>(wrapper)->description(), L"Hushcall");
}

TEST_F(WrapperFixture, SetDescriptionKeepsEmbeddedNullsAndTakesNullAsEmpty) {
  BSTR odd = ::SysAllocStringLen(L"a\0b", 3);
  EXPECT_EQ(wrapper->SetDescription(odd), S_OK);
  EXPECT_EQ(static_cast<WrapperObject*>(wrapper)->description(), std::wstring(L"a\0b", 3));
  ::SysFreeString(odd);
  EXPECT_EQ(wrapper->SetDescription(nullptr), S_OK);
  EXPECT_EQ(static_cast<WrapperObject*>(wrapper)->description(), L"");
}

TEST_F(WrapperFixture, GetPlayerWindowAnswersTheHandleAsALong) {
  long hwnd = 0;
  EXPECT_EQ(wrapper->GetPlayerWindow(&hwnd), S_OK);
  EXPECT_EQ(hwnd, 0x0002004C);
  EXPECT_EQ(wrapper->GetPlayerWindow(nullptr), E_POINTER);
}

TEST(Wrapper, AHandleWithTheTopBitSetArrivesAsANegativeLong) {
  Wrapper* wrapper = nullptr;
  ASSERT_EQ(WrapperObject::Create(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0xFFFF1234u)), &wrapper), S_OK);
  long hwnd = 0;
  EXPECT_EQ(wrapper->GetPlayerWindow(&hwnd), S_OK);
  EXPECT_EQ(static_cast<std::uint32_t>(hwnd), 0xFFFF1234u);
  EXPECT_EQ(wrapper->Release(), 0u);
}

// A plug-in that does what Hushcall does with the Wrapper and records
// every call it gets, in order.
class FakePlugin final : public ITavWinAmpGenPlugin {
 public:
  std::vector<std::string> calls;
  HRESULT initializeResult = S_OK;
  long player_window = -1;
  ULONG refs = 1;
  Wrapper* held = nullptr;
  // Runs inside Initialize or Configure, as the player's close does when a
  // message loop of the plug-in dispatches it.
  std::function<void()> nested;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITavWinAmpGenPlugin)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    if (--refs == 0) calls.push_back("destroyed");
    // Like the real object, it lets go of the Wrapper when it goes.
    if (refs == 1 && held) {
      held->Release();
      held = nullptr;
    }
    return refs;
  }
  HRESULT STDMETHODCALLTYPE Initialize(Wrapper* wrapper) override {
    calls.push_back("Initialize");
    wrapper->AddRef();
    held = wrapper;
    BSTR name = ::SysAllocString(L"Hushcall");
    wrapper->SetDescription(name);
    ::SysFreeString(name);
    long hwnd = 0;
    if (SUCCEEDED(wrapper->GetPlayerWindow(&hwnd))) player_window = hwnd;
    if (nested) nested();
    return initializeResult;
  }
  HRESULT STDMETHODCALLTYPE Configure() override {
    calls.push_back("Configure");
    if (nested) nested();
    calls.push_back("Configure returns");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Quit() override {
    calls.push_back("Quit");
    return S_OK;
  }
};

HostSession::Source Handing(FakePlugin& fake) {
  return [&fake](HostedPlugin& out) {
    out.plugin.assign(&fake);
    return S_OK;
  };
}

const HWND kPlayer = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x00010020));

TEST(HostSession, StartHandsTheWrapperToInitializeAndItAnswersThePlayerWindow) {
  FakePlugin fake;
  HostSession session(Handing(fake));
  ASSERT_EQ(session.Start(kPlayer), S_OK);
  EXPECT_TRUE(session.started());
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"Initialize"}));
  EXPECT_EQ(fake.player_window, 0x00010020);
  EXPECT_EQ(static_cast<WrapperObject*>(session.wrapper())->description(), L"Hushcall");
  EXPECT_EQ(fake.refs, 2u);  // ours and the test's
}

TEST(HostSession, ConfigureAndQuitReachThePlugInInOrderAndQuitReleasesIt) {
  FakePlugin fake;
  HostSession session(Handing(fake));
  ASSERT_EQ(session.Start(kPlayer), S_OK);
  EXPECT_EQ(session.Configure(), S_OK);
  EXPECT_EQ(session.Configure(), S_OK);
  EXPECT_EQ(session.Quit(), S_OK);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"Initialize", "Configure", "Configure returns", "Configure",
                                                  "Configure returns", "Quit"}));
  EXPECT_EQ(fake.refs, 1u);
  EXPECT_EQ(fake.held, nullptr);
  EXPECT_FALSE(session.started());
  EXPECT_EQ(session.wrapper(), nullptr);
  // After quit there is nothing left to drive.
  EXPECT_EQ(session.Configure(), S_FALSE);
  EXPECT_EQ(session.Quit(), S_FALSE);
  EXPECT_EQ(fake.calls.size(), 6u);
}

// The player's close dispatched by the plug-in's own wait: the quit must
// reach the plug-in at once (its waits end) and must not be dropped, yet
// nothing may be released while the plug-in's call is still running.
TEST(HostSession, AQuitInsideInitializeQuitsAtOnceAndReleasesWhenTheStartReturns) {
  FakePlugin fake;
  HostSession session(Handing(fake));
  ULONG refsAfterQuit = 0;
  fake.nested = [&] {
    EXPECT_EQ(session.Quit(), S_OK);
    refsAfterQuit = fake.refs;
    EXPECT_EQ(session.Quit(), S_FALSE);  // a second close asks nothing more
    EXPECT_EQ(session.Configure(), S_FALSE);
  };
  EXPECT_EQ(session.Start(kPlayer), S_OK);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"Initialize", "Quit"}));
  EXPECT_EQ(refsAfterQuit, 2u);
  EXPECT_EQ(fake.refs, 1u);
  EXPECT_TRUE(session.quit());
  EXPECT_FALSE(session.started());
  EXPECT_EQ(session.wrapper(), nullptr);
}

TEST(HostSession, AQuitInsideConfigureIsReleasedOnlyAfterConfigureReturns) {
  FakePlugin fake;
  HostSession session(Handing(fake));
  ASSERT_EQ(session.Start(kPlayer), S_OK);
  ULONG refsAfterQuit = 0;
  fake.nested = [&] {
    session.Quit();
    refsAfterQuit = fake.refs;
  };
  EXPECT_EQ(session.Configure(), S_OK);
  EXPECT_EQ(refsAfterQuit, 2u);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"Initialize", "Configure", "Quit", "Configure returns"}));
  EXPECT_EQ(fake.refs, 1u);
  EXPECT_FALSE(session.started());
}

TEST(HostSession, AFailedInitializeReleasesEverythingAndReportsItsStatus) {
  FakePlugin fake;
  fake.initializeResult = static_cast<HRESULT>(0x80020005);  // a settings type mismatch
  HostSession session(Handing(fake));
  EXPECT_EQ(session.Start(kPlayer), static_cast<HRESULT>(0x80020005));
  EXPECT_FALSE(session.started());
  EXPECT_EQ(fake.refs, 1u);
  EXPECT_EQ(session.Configure(), S_FALSE);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"Initialize"}));
}

TEST(HostSession, ASuccessCodeOtherThanSOkFromInitializeStillStarts) {
  FakePlugin fake;
  fake.initializeResult = S_FALSE;
  HostSession session(Handing(fake));
  EXPECT_EQ(session.Start(kPlayer), S_FALSE);
  EXPECT_TRUE(session.started());
}

TEST(HostSession, APlugInThatCannotBeCreatedIsReportedWithoutCalls) {
  HostSession failing([](HostedPlugin&) { return REGDB_E_CLASSNOTREG; });
  EXPECT_EQ(failing.Start(kPlayer), REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(failing.started());
  // A source that claims success but hands nothing must not be called through.
  HostSession empty([](HostedPlugin&) { return S_OK; });
  EXPECT_EQ(empty.Start(kPlayer), E_POINTER);
}

// Each case with the search flags and, as on Windows 7 without its loader
// update, without them.
class PluginSourceLoading : public ::testing::TestWithParam<LibraryLoading> {};
INSTANTIATE_TEST_SUITE_P(BothLoaders, PluginSourceLoading,
                         ::testing::Values(LibraryLoading::kSearchFlags, LibraryLoading::kAlteredSearchPath));

TEST_P(PluginSourceLoading, AMissingLibraryGivesItsWin32Error) {
  HostedPlugin out;
  EXPECT_EQ(CreatePluginFromLibrary(L"Z:\\no\\such\\Hushcall.dll", out, GetParam()),
            HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  EXPECT_FALSE(out.library);
  EXPECT_FALSE(out.plugin);
}

TEST_P(PluginSourceLoading, ALibraryWithoutDllGetClassObjectIsRefusedAndUnloaded) {
  HostedPlugin out;
  wchar_t system[MAX_PATH];
  ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
  // kernel32 is a DLL without the export; it is never really unloaded.
  EXPECT_EQ(CreatePluginFromLibrary(std::wstring(system) + L"\\kernel32.dll", out, GetParam()),
            HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
  EXPECT_FALSE(out.library);
}

// A folder that could not be found leaves the bare name: it must not be
// looked up along the search order, where anyone may have planted one.
TEST_P(PluginSourceLoading, ABareNameIsNeverSearchedFor) {
  HostedPlugin out;
  for (const wchar_t* name : {L"kernel32.dll", L"system32\\kernel32.dll", L"C:kernel32.dll"}) {
    EXPECT_EQ(CreatePluginFromLibrary(name, out, GetParam()), HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER)) << name;
    EXPECT_FALSE(out.library);
  }
}

TEST(PluginSource, ThisLoaderTakesTheSearchFlags) {
  EXPECT_EQ(LoaderLibraryLoading(), LibraryLoading::kSearchFlags);
}

TEST(PluginSource, AModulePathIsReadWholeWhateverItsLength) {
  const std::wstring whole = win32::ModuleFileName(nullptr);
  ASSERT_GT(whole.size(), 8u);
  EXPECT_EQ(win32::ModuleFileName(nullptr, 4), whole);  // grown from a buffer far too small
  EXPECT_EQ(ModuleFolder(nullptr), whole.substr(0, whole.find_last_of(L'\\') + 1));
}

// A file that begins as a PE image for `machine` does: the DOS header whose
// e_lfanew points at 0x80, there the PE signature and the COFF header.
std::string ImageStart(WORD machine) {
  std::string bytes(0x80 + 24, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  bytes[0x3C] = '\x80';
  std::memcpy(&bytes[0x80], "PE\0\0", 4);
  std::memcpy(&bytes[0x84], &machine, sizeof machine);
  return bytes;
}

class TempFile {
 public:
  explicit TempFile(const std::string& bytes) {
    wchar_t folder[MAX_PATH], name[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    ::GetTempFileNameW(folder, L"hc", 0, name);
    path = name;
    win32::unique_hfile file(::CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
  ~TempFile() { ::DeleteFileW(path.c_str()); }
  std::wstring path;
};

TEST(LibraryEdition, IsReadFromTheMachineInThePeHeader) {
  using win32::Edition;
  EXPECT_EQ(LibraryEdition(win32::ModuleFileName(nullptr)), win32::kThisEdition) << "this test program";
  EXPECT_EQ(LibraryEdition(TempFile(ImageStart(0x014C)).path), Edition::k32Bit);
  EXPECT_EQ(LibraryEdition(TempFile(ImageStart(0x8664)).path), Edition::k64Bit);

  std::string noSignature = ImageStart(0x8664), noMz = ImageStart(0x8664);
  noSignature[0x81] = 'X';
  noMz[0] = 'Z';
  const std::string cut = ImageStart(0x8664).substr(0, 0x80 + 5);
  const std::string none[] = {ImageStart(0xAA64) /* ARM64 */, noSignature, noMz, cut, ""};
  for (const std::string& bytes : none) EXPECT_EQ(LibraryEdition(TempFile(bytes).path), std::nullopt);
  EXPECT_EQ(LibraryEdition(L"Z:\\no\\such\\Hushcall.dll"), std::nullopt);
}

TEST(PluginSource, ALibraryOfTheOtherEditionIsNamedAsSuch) {
  HostedPlugin out;
  const TempFile other(ImageStart(win32::EditionMachine(win32::OtherEdition(win32::kThisEdition))));
  EXPECT_EQ(CreatePluginFromLibrary(other.path, out), kLibraryOfOtherEdition);
  EXPECT_FALSE(out.library);
  // A broken image of this edition keeps the loader's own status.
  const TempFile own(ImageStart(win32::EditionMachine(win32::kThisEdition)));
  const HRESULT hr = CreatePluginFromLibrary(own.path, out);
  EXPECT_TRUE(FAILED(hr));
  EXPECT_NE(hr, kLibraryOfOtherEdition);
}

TEST(StartFailure, TellsTheReasonReadably) {
  struct Case { HRESULT hr; const wchar_t* text; };
  const Case cases[] = {
      {static_cast<HRESULT>(0x80020005), L"Hushcall could not start: a stored setting has the wrong type (type mismatch)."},
      {static_cast<HRESULT>(0x8002000A), L"Hushcall could not start: a stored setting is out of range (overflow)."},
      {static_cast<HRESULT>(0x8004DEAD), L"Hushcall could not start: error 0x8004DEAD."},
      {kLibraryOfOtherEdition, win32::kThisEdition == win32::Edition::k64Bit
                                   ? L"Hushcall could not start: Hushcall.dll beside this plug-in is the 32-bit build."
                                   : L"Hushcall could not start: Hushcall.dll beside this plug-in is the 64-bit build."},
  };
  for (const Case& c : cases) EXPECT_EQ(StartFailureText(c.hr), c.text);
  // The system's own text, without its line break.
  const std::wstring denied = StartFailureText(E_ACCESSDENIED);
  EXPECT_EQ(denied.rfind(L"Hushcall could not start: ", 0), 0u);
  EXPECT_GT(denied.size(), 30u);
  EXPECT_EQ(denied.find_first_of(L"\r\n"), std::wstring::npos);
}

}  // namespace
}  // namespace hushcall::host
