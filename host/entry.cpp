// gen_hushcall.dll: the host wrapper in the player's general-purpose
// plug-in form. The player calls init, config and quit; each drives the
// Hushcall.Plugin object through HostSession. winampUninstallPlugin removes
// Hushcall when the user asks from the player's preferences. Nothing
// escapes to the player.
#include <windows.h>
#include <objbase.h>

#include <new>
#include <string>

#include "hushcall_version.h"
#include "host/general_purpose_plugin.h"
#include "host/host_session.h"
#include "host/plugin_source.h"
#include "host/removal.h"
#include "host/start_failure.h"

namespace {

using hushcall::host::HostSession;

// What the player lists in its preferences.
char g_description[] = "Hushcall " HUSHCALL_VERSION_TEXT ": quiet music on incoming calls";

// Created by init, deleted by quit (or, after a quit inside them, by the
// init or config that was running). Deliberately not a static object: if
// the player never calls quit, tearing COM down from the loader lock at
// unload would be worse than leaving it.
HostSession* g_session = nullptr;
// Set once removed from the player's preferences: nothing starts again.
bool g_removed = false;
// Hushcall.dll when it was still loaded at removal: deleted again at quit.
std::wstring* g_libraryLeft = nullptr;

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

// Init and Config run the plug-in's message loops, and the removal its
// question box, where the player's close may be dispatched: the player then
// calls Quit and frees this library while they are still on the stack.
int g_callsRunning = 0;
// The player has called Quit: it unloads us, and deletes nothing of ours.
bool g_quit = false;
struct Running {
  Running() { ++g_callsRunning; }
  ~Running() { --g_callsRunning; }
};

// Deletes the session once it has quit and no call of ours still runs on it.
void EndSessionIfQuit() {
  if (g_session && g_session->quit() && g_callsRunning == 1) {
    delete g_session;
    g_session = nullptr;
  }
}

int __cdecl Init() {
  Running running;
  try {
    if (g_removed) return 1;
    delete g_session;
    g_session = nullptr;
    HMODULE self = Self();
    auto* session = new (std::nothrow) HostSession(
        [self](hushcall::host::HostedPlugin& out) { return hushcall::host::CreateHushcallPlugin(self, out); });
    if (!session) return 1;
    g_session = session;  // before the start: a quit inside it must find it
    HRESULT hr = session->Start(g_record.hwndParent);
    Trace(L"init", hr);
    const bool quit = session->quit();
    if (quit || FAILED(hr)) {
      delete session;
      g_session = nullptr;
    }
    if (quit || SUCCEEDED(hr)) return 0;
    // Said once, or the user is left with a plug-in that silently does nothing.
    ::MessageBoxW(g_record.hwndParent, hushcall::host::StartFailureText(hr).c_str(),
                  hushcall::host::kStartFailureTitle, MB_OK | MB_ICONERROR);
    return 1;
  } catch (...) {
    return 1;
  }
}

void __cdecl Config() {
  Running running;
  try {
    if (!g_session) return;
    Trace(L"config", g_session->Configure());
    EndSessionIfQuit();
  } catch (...) {
  }
}

void StopSession() {
  if (!g_session) return;
  Trace(L"quit", g_session->Quit());
  // Else the Init or Config that runs beneath deletes it when it returns.
  if (g_callsRunning == 0) {
    delete g_session;
    g_session = nullptr;
  }
}

void __cdecl Quit() {
  try {
    g_quit = true;
    if (g_callsRunning > 0) {
      // Our frames stay on the stack beyond the unloading that follows.
      HMODULE pinned = nullptr;
      ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&g_record), &pinned);
    }
    StopSession();
    if (g_libraryLeft &&
        hushcall::host::RemoveLibrary(*g_libraryLeft) == hushcall::host::LibraryRemoval::kGone) {
      delete g_libraryLeft;
      g_libraryLeft = nullptr;
    }
  } catch (...) {
  }
}

int Uninstall(HWND parent) {
  using namespace hushcall::host;
  Running running;
  g_quit = false;
  const bool removeSettings = AskRemoveStoredSettings(parent);
  // Quit stores the settings one last time; removing them comes after.
  // COM stays up over the stop so that a Hushcall.dll it loaded for us can
  // be freed, and then deleted, while this thread is still in the apartment.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  StopSession();
  EndSessionIfQuit();
  ::CoFreeUnusedLibrariesEx(0, 0);
  if (SUCCEEDED(com)) ::CoUninitialize();
  g_removed = true;
  const std::wstring folder = ModuleFolder(Self());
  const std::wstring library = folder + kHushcallDllName;
  const std::wstring uninstaller = folder + kUninstallerName;
  // Setup's files go with setup's uninstaller, which alone knows (and may
  // elevate for) an install per machine and its entry.
  const bool installed = ::GetFileAttributesW(uninstaller.c_str()) != INVALID_FILE_ATTRIBUTES;
  LeftOver left;
  if (installed) {
    const DWORD code = RunInstalledUninstaller(folder);
    Trace(L"uninstaller", HRESULT_FROM_WIN32(code));
    left.library = ::GetFileAttributesW(library.c_str()) != INVALID_FILE_ATTRIBUTES;
    left.uninstaller = ::GetFileAttributesW(uninstaller.c_str()) != INVALID_FILE_ATTRIBUTES;
    left.hostWrapper = code != 0 || left.library || left.uninstaller;
  } else {
    Trace(L"unregister", RemoveRegistration());
    switch (RemoveLibrary(library)) {
      case LibraryRemoval::kGone:
        break;
      case LibraryRemoval::kWhenUnloaded:
        g_libraryLeft = new (std::nothrow) std::wstring(library);
        break;
      case LibraryRemoval::kLeft:
        // The player could not delete its neighbour either.
        left.library = left.hostWrapper = true;
        break;
    }
  }
  if (removeSettings) Trace(L"remove settings", HRESULT_FROM_WIN32(RemoveStoredSettings()));
  if (left.any()) {
    ReportLeftOver(parent, folder, left, installed);
    return kUninstallAtRestart;
  }
  // A player closed during the question has unloaded us and will not delete
  // this file now: the rest is removed, this file at its next start.
  return g_quit ? kUninstallAtRestart : kUninstallNow;
}

}  // namespace

extern "C" winampGeneralPurposePlugin* __cdecl winampGetGeneralPurposePlugin() {
  return &g_record;
}

extern "C" int __cdecl winampUninstallPlugin(HINSTANCE, HWND parent, int) {
  try {
    return Uninstall(parent);
  } catch (...) {
    // Not known to be gone: the player removes this file at its next start.
    return hushcall::host::kUninstallAtRestart;
  }
}
