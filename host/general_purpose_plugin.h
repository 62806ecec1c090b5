// The player's general-purpose plug-in form: a DLL named gen_*.dll exports
// winampGetGeneralPurposePlugin (undecorated, __cdecl), which returns this
// record. The player fills hwndParent and hDllInstance, then calls init
// (0 means success), config whenever the user asks, and quit before it
// unloads the DLL.
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

}  // extern "C"

namespace hushcall::host {

inline constexpr int kGeneralPurposePluginVersion = 0x10;
inline constexpr char kGetGeneralPurposePluginExport[] = "winampGetGeneralPurposePlugin";

}  // namespace hushcall::host
