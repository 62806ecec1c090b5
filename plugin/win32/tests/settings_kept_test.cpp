// Stored settings are never lost: every path that writes the store, run on
// stored values in and out of their ranges and of other registry types,
// keeps each value the user did not change, either as it was or in its plain
// decimal form. Each case runs as a second session in the process, after an
// earlier one loaded other values into the process-wide settings.
#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "options/win32/control_ids.h"
#include "plugin/win32/tests/test_support.h"

namespace hushcall::win32::test {
namespace {

const std::wstring kProductKey = L"Software\\VB and VBA Program Settings\\Hushcall";
const std::wstring kStoreKey = kProductKey + L"\\Common";
const wchar_t* const kKeys[] = {L"Action", L"Volume", L"Percent", L"Popup", L"Enabled", L"COMPort"};
constexpr int kEnabled = 4;

// A registry value as stored: its type and bytes.
struct Raw {
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
  bool operator==(const Raw&) const = default;
};

Raw Text(const std::wstring& text) {
  const auto* data = reinterpret_cast<const BYTE*>(text.c_str());
  return {REG_SZ, std::vector<BYTE>(data, data + (text.size() + 1) * sizeof(wchar_t))};
}
Raw Dword(DWORD value) {
  const auto* data = reinterpret_cast<const BYTE*>(&value);
  return {REG_DWORD, std::vector<BYTE>(data, data + sizeof value)};
}
Raw Qword(ULONGLONG value) {
  const auto* data = reinterpret_cast<const BYTE*>(&value);
  return {REG_QWORD, std::vector<BYTE>(data, data + sizeof value)};
}
Raw Other(DWORD type, std::vector<BYTE> bytes) { return {type, std::move(bytes)}; }

void Put(const wchar_t* key, const Raw& raw) {
  unique_hkey hkey;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kStoreKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            hkey.put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(hkey.get(), key, 0, raw.type, raw.bytes.data(), static_cast<DWORD>(raw.bytes.size())),
            ERROR_SUCCESS);
}

std::optional<Raw> Get(const wchar_t* key) {
  unique_hkey hkey;
  BYTE data[256];
  DWORD type = 0;
  DWORD size = sizeof data;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kStoreKey.c_str(), 0, KEY_QUERY_VALUE, hkey.put()) != ERROR_SUCCESS ||
      RegQueryValueExW(hkey.get(), key, nullptr, &type, data, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return Raw{type, std::vector<BYTE>(data, data + size)};
}

// One stored value and what must be in the store after any path on which
// the user changed nothing: the same value (kept as it was) or its text.
struct Entry {
  Raw stored;
  std::optional<std::wstring> savedAs = std::nullopt;
};

struct Row {
  const char* name;
  std::array<Entry, 6> entries;
  bool startLoadsEnabled;  // loading gets as far as Enabled
};

const Row kRows[] = {
    {"InRange",
     {{{Text(L"40046")}, {Text(L"80")}, {Text(L"1")}, {Text(L"0")}, {Text(L"0")}, {Text(L"3")}}},
     true},
    {"OutsideTheDialogsRanges",
     {{{Text(L"7")}, {Text(L"255")}, {Text(L"2"), L"1"}, {Text(L" 1x"), L"1"}, {Text(L"0")}, {Text(L"0")}}},
     true},
    {"NumbersOfOtherTypes",
     {{{Dword(40047), L"40047"}, {Qword(100), L"100"}, {Dword(1), L"1"}, {Text(L"0")}, {Text(L"0")},
       {Dword(2), L"2"}}},
     true},
    {"UnreadableTypesReadAsTheDefault",
     {{{Other(REG_BINARY, {0x4e, 0x9c, 0, 0})}, {Other(REG_MULTI_SZ, {'9', 0, '9', 0, 0, 0, 0, 0})},
       {Other(REG_NONE, {})}, {Other(REG_BINARY, {1})}, {Text(L"0")}, {Other(REG_EXPAND_SZ, {'4', 0, 0, 0}), L"4"}}},
     true},
    {"StartFailsAtVolume",
     {{{Text(L"40047")}, {Text(L"300")}, {Text(L"1")}, {Text(L"yes")}, {Text(L"0")}, {Text(L"COM2")}}},
     false},
    {"StartFailsAtADwordAction",
     {{{Dword(0xFFFFFFFF)}, {Text(L"-1")}, {Text(L"1")}, {Text(L"1")}, {Text(L"0")}, {Text(L"256")}}},
     false},
    {"StartFailsAtATextAction",
     {{{Text(L"pause")}, {Other(REG_BINARY, {})}, {Text(L"1")}, {Text(L"1")}, {Text(L"0")}, {Text(L"9")}}},
     false},
};

com_ptr<ITavWinAmpGenPlugin> NewPlugin() {
  com_ptr<IUnknown> object = CreatePlugin();
  com_ptr<ITavWinAmpGenPlugin> plugin;
  if (object) object->QueryInterface(IID_ITavWinAmpGenPlugin, plugin.put_void());
  return plugin;
}

// What a person does while a window of ours waits: each step runs from a
// timer inside that wait, and is done when it returns true.
std::deque<std::function<bool()>> gSteps;

void CALLBACK RunStep(HWND, UINT, UINT_PTR, DWORD) {
  if (!gSteps.empty() && gSteps.front()()) gSteps.pop_front();
}

HWND Shown(const wchar_t* caption) {
  HWND window = FindWindowW(L"#32770", caption);
  return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

std::function<bool()> Click(const wchar_t* caption, int id) {
  return [=] {
    HWND window = Shown(caption);
    if (window == nullptr) return false;
    SendMessageW(GetDlgItem(window, id), BM_CLICK, 0, 0);
    return true;
  };
}
std::function<bool()> ClickOption(ControlId id) { return Click(kOptionsDialogCaption, ControlWindowId(id)); }

struct Path {
  const char* name;
  // Runs one session; returns the status of the host's Quit.
  std::function<HRESULT(ITavWinAmpGenPlugin&, StackWrapper&)> session;
  bool storesEnabled = false;  // stores Enabled "1"; the user cancels the failure box
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }
void PrintTo(const Path& path, std::ostream* out) { *out << path.name; }

const Path kPaths[] = {
    {"QuitAfterStart",
     [](ITavWinAmpGenPlugin& plugin, StackWrapper& host) {
       plugin.Initialize(&host);
       return plugin.Quit();
     }},
    {"QuitDuringTheDialog",
     [](ITavWinAmpGenPlugin& plugin, StackWrapper& host) {
       plugin.Initialize(&host);
       HRESULT quit = E_UNEXPECTED;
       gSteps = {[&] { return Shown(kOptionsDialogCaption) && ((quit = plugin.Quit()), true); }};
       EXPECT_EQ(plugin.Configure(), S_OK);
       return quit;
     }},
    // An edit undone, applied (with Enabled clear that stores Enabled alone),
    // then Cancel.
    {"ApplyThenCancel",
     [](ITavWinAmpGenPlugin& plugin, StackWrapper& host) {
       plugin.Initialize(&host);
       gSteps = {ClickOption(ControlId::chkEnabled), ClickOption(ControlId::chkEnabled),
                 ClickOption(ControlId::cmdApply), ClickOption(ControlId::cmdCancel)};
       EXPECT_EQ(plugin.Configure(), S_OK);
       return plugin.Quit();
     }},
    // No modem on any port here: the start asks, and the user disables.
    {"CancelOfTheFailureBox",
     [](ITavWinAmpGenPlugin& plugin, StackWrapper& host) {
       gSteps = {Click(L"Hushcall", IDCANCEL)};
       plugin.Initialize(&host);
       return plugin.Quit();
     },
     true},
};

class SettingsKept : public testing::TestWithParam<std::tuple<Row, Path>> {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey.c_str()); }
  void TearDown() override {
    gSteps.clear();
    RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey.c_str());
  }
};

TEST_P(SettingsKept, ByEveryPathThatWritesTheStore) {
  const auto& [row, path] = GetParam();
  StackWrapper host;
  {
    // An earlier session, with other values, that the process remembers.
    for (int i = 0; i < 6; ++i) Put(kKeys[i], Text(i == 0 ? L"40046" : i == kEnabled ? L"0" : L"1"));
    com_ptr<ITavWinAmpGenPlugin> earlier = NewPlugin();
    ASSERT_TRUE(earlier);
    ASSERT_EQ(earlier->Initialize(&host), S_OK);
    ASSERT_EQ(earlier->Quit(), S_OK);
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey.c_str());

  std::array<Entry, 6> entries = row.entries;
  if (path.storesEnabled) entries[kEnabled] = {Text(L"1"), row.startLoadsEnabled ? L"0" : std::optional<std::wstring>()};
  for (int i = 0; i < 6; ++i) Put(kKeys[i], entries[i].stored);

  const UINT_PTR timer = SetTimer(nullptr, 0, 20, RunStep);
  ASSERT_NE(timer, 0u);
  com_ptr<ITavWinAmpGenPlugin> plugin = NewPlugin();
  ASSERT_TRUE(plugin);
  EXPECT_EQ(path.session(*plugin.get(), host), S_OK);
  plugin.reset();
  KillTimer(nullptr, timer);
  // A start that fails before Enabled shows no failure box to cancel.
  EXPECT_TRUE(gSteps.empty() || (path.storesEnabled && !row.startLoadsEnabled))
      << "the person's steps did not all run";

  for (int i = 0; i < 6; ++i) {
    const Raw expected = entries[i].savedAs ? Text(*entries[i].savedAs) : entries[i].stored;
    EXPECT_EQ(Get(kKeys[i]), expected) << "key " << i << (entries[i].savedAs ? " in plain text" : " kept as it was");
  }
}

INSTANTIATE_TEST_SUITE_P(
    StoredValues, SettingsKept, testing::Combine(testing::ValuesIn(kRows), testing::ValuesIn(kPaths)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

}  // namespace
}  // namespace hushcall::win32::test
