// The player's general-purpose plug-in form: a DLL named gen_*.dll exports
// winampGetGeneralPurposePlugin (undecorated, __cdecl), which returns this
// record. The player fills hwndParent and hDllInstance, then calls init
// (0 means success), config whenever the user asks, and quit before it
// unloads the DLL.
//
// A plug-in that can be removed from the player's preferences also exports
// winampUninstallPlugin (undecorated, __cdecl). It cleans up after itself
// and returns kUninstallNow, after which the player calls quit, unloads the
// DLL and deletes its file; kUninstallAtRestart leaves that to the next
// start.
#pragma once

#include <windows.h>

extern "C" {

struct winampGeneralPurposePlugin {
  int version;  // kGeneralPurposePluginVersion
  char* description;
  int(__cdecl* init)(void);
  void(__cdecl* config)(void);
  void(__cdecl* quit)(void);
  HWND hwndParent;
  HINSTANCE hDllInstance;
};

using GetGeneralPurposePluginFn = winampGeneralPurposePlugin*(__cdecl*)(void);
using UninstallPluginFn = int(__cdecl*)(HINSTANCE dll, HWND parent, int param);

}  // extern "C"

namespace hushcall::host {

inline constexpr int kGeneralPurposePluginVersion = 0x10;
inline constexpr char kGetGeneralPurposePluginExport[] = "winampGetGeneralPurposePlugin";
inline constexpr char kUninstallPluginExport[] = "winampUninstallPlugin";
inline constexpr int kUninstallNow = 1;
inline constexpr int kUninstallAtRestart = 0;

}  // namespace hushcall::host
