// Wine 8 leaks a handle each time HKEY_CLASSES_ROOT is opened into with a
// registry view flag (KEY_WOW64_32KEY or KEY_WOW64_64KEY); the same opens
// through HKEY_LOCAL_MACHINE\Software\Classes leak nothing. 64-bit Wine's
// oleaut32 does such an open whenever it registers or unregisters a dual
// interface, which is why plugin_cycles_test counts those keys apart.
//
//   x86_64-w64-mingw32-g++ -O2 -static -o hkcr_view_leak.exe hkcr_view_leak.cpp
//   HC_WINE_ARCH=win64 bash -c '. tests/wine/wine-env.sh && hc_wine_setup && wine hkcr_view_leak.exe; hc_wine_teardown'
//
// Seen (64-bit and 32-bit builds alike): HKLM in every view 13 -> 13;
// HKCR 13 -> 14 (its root, opened once), with KEY_WOW64_64KEY 14 -> 114, with
// KEY_WOW64_32KEY 114 -> 214.
#include <windows.h>

#include <cstdio>

namespace {

DWORD OpenHandles() {
  DWORD count = 0, flags = 0;
  for (UINT_PTR value = 4; value < 0x10000; value += 4)
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  return count;
}

void OpenAndClose(const char* what, HKEY root, const wchar_t* path, REGSAM view) {
  const DWORD before = OpenHandles();
  for (int i = 0; i < 100; ++i) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr) == ERROR_SUCCESS)
      RegCloseKey(key);
  }
  std::printf("%-24s handles %lu -> %lu after 100 opens and closes\n", what, before, OpenHandles());
}

}  // namespace

int main() {
  constexpr wchar_t kMachine[] = L"Software\\Classes\\HushcallProbe";
  constexpr wchar_t kClasses[] = L"HushcallProbe";
  OpenAndClose("HKLM", HKEY_LOCAL_MACHINE, kMachine, 0);
  OpenAndClose("HKLM, KEY_WOW64_64KEY", HKEY_LOCAL_MACHINE, kMachine, KEY_WOW64_64KEY);
  OpenAndClose("HKLM, KEY_WOW64_32KEY", HKEY_LOCAL_MACHINE, kMachine, KEY_WOW64_32KEY);
  OpenAndClose("HKCR", HKEY_CLASSES_ROOT, kClasses, 0);
  OpenAndClose("HKCR, KEY_WOW64_64KEY", HKEY_CLASSES_ROOT, kClasses, KEY_WOW64_64KEY);
  OpenAndClose("HKCR, KEY_WOW64_32KEY", HKEY_CLASSES_ROOT, kClasses, KEY_WOW64_32KEY);
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kMachine, KEY_WOW64_32KEY, 0);
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kMachine, KEY_WOW64_64KEY, 0);
  return 0;
}
