// Thousands of start/stop cycles in one process, as a player that loads,
// configures and closes the plug-in over and over would drive it: the
// process's handles and private memory must not grow with them.
//
// Runs with the modem simulator on COM5 (run_cycles.sh). HUSHCALL_CYCLES sets
// the number of cycles (default 1000, a multiple of 100); bench/soak.sh runs
// 10,000. Each hundred prints one "cycles" line for the soak to read.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "options/win32/control_ids.h"
#include "plugin/win32/tests/test_support.h"

namespace hushcall::win32::test {
namespace {

// Growth allowed from the first hundred to the last. Private bytes move in
// the heap's 64 KB commits, so a few of those are noise; handles come back to
// the same count after every hundred under Wine 8. One handle leaked per
// cycle would add 900, one 300-byte block per cycle 264 KB.
constexpr DWORD kHandleMargin = 20;
constexpr SIZE_T kPrivateBytesMargin = 256 * 1024;

constexpr int kModemPort = 5;
constexpr int kHundred = 100;
// Cycles in each half of a block: created by CLSID while registered, then
// through DllGetClassObject once the registration is removed.
constexpr int kRegisteredRun = 50;

int CycleCount() {
  const char* text = std::getenv("HUSHCALL_CYCLES");
  const int count = text ? std::atoi(text) : 1000;
  return count >= kHundred ? count / kHundred * kHundred : kHundred;
}

void StoreSetting(const wchar_t* name, const wchar_t* value) {
  unique_hkey key;
  RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Hushcall\\Common", 0, nullptr, 0,
                  KEY_SET_VALUE, nullptr, key.put(), nullptr);
  RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                 static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
}

// Presses Cancel on the options dialog once it shows, as a person would,
// from a thread of its own while Configure runs the modal loop.
DWORD WINAPI CancelOptionsDialog(void*) {
  for (int i = 0; i < 1000; ++i) {
    HWND dialog = FindWindowW(L"#32770", kOptionsDialogCaption);
    if (dialog && IsWindowVisible(dialog)) {
      SendMessageW(GetDlgItem(dialog, ControlWindowId(ControlId::cmdCancel)), BM_CLICK, 0, 0);
      return 0;
    }
    Sleep(5);
  }
  return 1;
}

struct Sample {
  DWORD handles = 0;
  SIZE_T privateBytes = 0;
};

// 64-bit Wine's oleaut32 also writes and removes a dual interface's key in
// the 32-bit view, through HKEY_CLASSES_ROOT with KEY_WOW64_32KEY, and Wine 8
// leaks a handle to Software\Classes\Wow6432Node on every such open of
// HKEY_CLASSES_ROOT (tests/wine/probes/hkcr_view_leak.cpp shows it with
// nothing of ours loaded). Those keys are Wine's, counted apart; every other
// handle counts.
bool IsWinesViewKey(HANDLE handle) {
  using QueryObject = NTSTATUS(NTAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, void*, ULONG, ULONG*);
  static const auto query = reinterpret_cast<QueryObject>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
  constexpr auto kObjectNameInformation = static_cast<OBJECT_INFORMATION_CLASS>(1);
  alignas(UNICODE_STRING) unsigned char buffer[1024];
  ULONG size = 0;
  if (!query || query(handle, kObjectNameInformation, buffer, sizeof buffer, &size) != 0) return false;
  const auto& name = *reinterpret_cast<const UNICODE_STRING*>(buffer);
  constexpr std::wstring_view kViewKey = L"\\Software\\Classes\\Wow6432Node";
  const std::wstring_view text(name.Buffer ? name.Buffer : L"", name.Length / sizeof(wchar_t));
  return text.size() >= kViewKey.size() && text.substr(text.size() - kViewKey.size()) == kViewKey;
}

// Wine 8 answers GetProcessHandleCount with 0 and leaves PrivateUsage at 0.
// There the open handles are counted by asking about every handle value in
// the table's range (Wine hands out multiples of 4 from 4 up), and private
// bytes are the committed private regions of the address space, which is
// what PrivateUsage counts on Windows.
DWORD OpenHandles() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) return count;
  DWORD flags = 0;
  for (UINT_PTR value = 4; value < 0x10000; value += 4) {
    const auto handle = reinterpret_cast<HANDLE>(value);
    if (GetHandleInformation(handle, &flags) && !IsWinesViewKey(handle)) ++count;
  }
  return count;
}

SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
  if (counters.PrivateUsage != 0) return counters.PrivateUsage;
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (auto* at = static_cast<const char*>(nullptr); VirtualQuery(at, &region, sizeof region) == sizeof region;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
  }
  return total;
}

Sample Measure() { return {OpenHandles(), PrivateBytes()}; }

com_ptr<ITavWinAmpGenPlugin> Create(bool registered) {
  com_ptr<ITavWinAmpGenPlugin> plugin;
  if (registered) {
    CoCreateInstance(CLSID_Plugin, nullptr, CLSCTX_INPROC_SERVER, IID_ITavWinAmpGenPlugin, plugin.put_void());
    return plugin;
  }
  com_ptr<IUnknown> object = CreatePlugin();
  if (object) object->QueryInterface(IID_ITavWinAmpGenPlugin, plugin.put_void());
  return plugin;
}

size_t CountInTranscript(const std::string& needle) {
  const char* path = std::getenv("HC_MODEM_TRANSCRIPT");
  if (!path) return 0;
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
  return count;
}

TEST(ComCycles, HandlesAndPrivateBytesStayFlat) {
  ASSERT_NE(std::getenv("HC_MODEM_TRANSCRIPT"), nullptr) << "run through run_cycles.sh, with the simulator on COM5";
  StoreSetting(L"Enabled", L"1");
  StoreSetting(L"COMPort", std::to_wstring(kModemPort).c_str());
  StoreSetting(L"Popup", L"0");
  const size_t atzBefore = CountInTranscript(" rx ATZ");

  const int cycles = CycleCount();
  StackWrapper host;
  std::vector<Sample> samples;
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    const bool registered = (cycle - 1) % kHundred < kRegisteredRun;
    if ((cycle - 1) % kRegisteredRun == 0) {
      ASSERT_EQ(registered ? TheDll().RegisterServer() : TheDll().UnregisterServer(), S_OK) << "cycle " << cycle;
    }
    com_ptr<ITavWinAmpGenPlugin> plugin = Create(registered);
    ASSERT_TRUE(plugin) << "cycle " << cycle << (registered ? " by CLSID" : " by DllGetClassObject");
    ASSERT_EQ(plugin->Initialize(&host), S_OK) << "cycle " << cycle;
    if (cycle % kHundred == 0) {
      unique_handle canceller(CreateThread(nullptr, 0, CancelOptionsDialog, nullptr, 0, nullptr));
      ASSERT_TRUE(canceller);
      ASSERT_EQ(plugin->Configure(), S_OK) << "cycle " << cycle;
      WaitForSingleObject(canceller.get(), INFINITE);
      DWORD code = 1;
      GetExitCodeThread(canceller.get(), &code);
      ASSERT_EQ(code, 0u) << "the dialog was never seen, cycle " << cycle;
    }
    ASSERT_EQ(plugin->Quit(), S_OK) << "cycle " << cycle;
    plugin.reset();
    ASSERT_EQ(host.refs, 1) << "the Wrapper goes with the object, cycle " << cycle;

    if (cycle % kHundred == 0) {
      CoFreeUnusedLibrariesEx(0, 0);
      ASSERT_EQ(TheDll().CanUnloadNow(), S_OK) << "after cycle " << cycle;
      samples.push_back(Measure());
      ASSERT_NE(samples.back().handles, 0u);
      ASSERT_NE(samples.back().privateBytes, 0u);
      std::printf("cycles %d handles %lu private_kb %lu\n", cycle, samples.back().handles,
                  static_cast<unsigned long>(samples.back().privateBytes / 1024));
      std::fflush(stdout);
    }
  }
  TheDll().UnregisterServer();

  // Every Initialize reset the modem that answers, and found it.
  EXPECT_GE(CountInTranscript(" rx ATZ") - atzBefore, static_cast<size_t>(cycles));

  const auto maxHandles = std::max_element(samples.begin(), samples.end(),
                                           [](auto& a, auto& b) { return a.handles < b.handles; })->handles;
  const auto maxPrivate = std::max_element(samples.begin(), samples.end(), [](auto& a, auto& b) {
                            return a.privateBytes < b.privateBytes;
                          })->privateBytes;
  std::printf("cycles summary: %d cycles, handles first %lu last %lu max %lu, private KB first %lu last %lu max %lu\n",
              cycles, samples.front().handles, samples.back().handles, maxHandles,
              static_cast<unsigned long>(samples.front().privateBytes / 1024),
              static_cast<unsigned long>(samples.back().privateBytes / 1024),
              static_cast<unsigned long>(maxPrivate / 1024));
  EXPECT_LE(samples.back().handles, samples.front().handles + kHandleMargin);
  EXPECT_LE(samples.back().privateBytes, samples.front().privateBytes + kPrivateBytesMargin);
}

}  // namespace
}  // namespace hushcall::win32::test
