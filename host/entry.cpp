// gen_hushcall.dll: the host wrapper in the player's general-purpose
// plug-in form. The player calls init, config and quit; each drives the
// Hushcall.Plugin object through HostSession. Nothing escapes to the player.
#include <windows.h>

#include <new>

#include "host/host_session.h"
#include "host/plugin_source.h"
#include "host/general_purpose_plugin.h"

namespace {

using hushcall::host::HostSession;

char g_description[] = "Hushcall host wrapper";

// Created by init, deleted by quit. Deliberately not a static object: if
// the player never calls quit, tearing COM down from the loader lock at
// unload would be worse than leaving it.
HostSession* g_session = nullptr;

int __cdecl Init();
void __cdecl Config();
void __cdecl Quit();

winampGeneralPurposePlugin g_record = {hushcall::host::kGeneralPurposePluginVersion,
                                       g_description, Init, Config, Quit, nullptr, nullptr};

void Trace(const wchar_t* what, HRESULT hr) {
  wchar_t line[128];
  wsprintfW(line, L"gen_hushcall: %s -> 0x%08X\n", what, static_cast<unsigned>(hr));
  ::OutputDebugStringW(line);
}

HMODULE Self() {
  if (g_record.hDllInstance) return g_record.hDllInstance;
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&g_record), &self);
  return self;
}

int __cdecl Init() {
  try {
    delete g_session;
    g_session = nullptr;
    HMODULE self = Self();
    auto* session = new (std::nothrow) HostSession(
        [self](hushcall::host::HostedPlugin& out) { return hushcall::host::CreateHushcallPlugin(self, out); });
    if (!session) return 1;
    HRESULT hr = session->Start(g_record.hwndParent);
    Trace(L"init", hr);
    if (FAILED(hr)) {
      delete session;
      return 1;
    }
    g_session = session;
    return 0;
  } catch (...) {
    return 1;
  }
}

void __cdecl Config() {
  try {
    if (g_session) Trace(L"config", g_session->Configure());
  } catch (...) {
  }
}

void __cdecl Quit() {
  try {
    if (!g_session) return;
    Trace(L"quit", g_session->Quit());
    delete g_session;
    g_session = nullptr;
  } catch (...) {
  }
}

}  // namespace

extern "C" winampGeneralPurposePlugin* __cdecl winampGetGeneralPurposePlugin() {
  return &g_record;
}
