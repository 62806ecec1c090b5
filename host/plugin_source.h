// Where the host gets its Hushcall.Plugin object: through COM when the
// class is registered, else straight from the Hushcall.dll beside the host
// wrapper (no registration, so no administrator rights, needed).
#pragma once

#include <windows.h>

#include <string>

#include "TavWinAmpGenLib.h"
#include "common/win32/unique.h"

namespace hushcall::host {

// {2BEAE623-8F5F-4E4D-9AC2-356FF3995917}, Hushcall.Plugin
inline constexpr CLSID kHushcallPluginClsid = {
    0x2BEAE623, 0x8F5F, 0x4E4D, {0x9A, 0xC2, 0x35, 0x6F, 0xF3, 0x99, 0x59, 0x17}};
inline constexpr wchar_t kHushcallDllName[] = L"Hushcall.dll";

// Released in reverse order of the members: the plug-in, then the class
// factory, then the library that holds their code.
struct HostedPlugin {
  win32::unique_hmodule library;  // only when loaded by us
  win32::com_ptr<IClassFactory> factory;
  win32::com_ptr<ITavWinAmpGenPlugin> plugin;

  void Reset() {
    plugin.reset();
    factory.reset();
    library.reset();
  }
};

// How a library is loaded by its full path. kSearchFlags: the DLLs it needs
// come from its own folder or the system's only. Loaders that don't take
// those flags (Windows 7 and Vista without KB2533623) refuse them with
// ERROR_INVALID_PARAMETER; there kAlteredSearchPath starts the search for
// its DLLs in its own folder.
enum class LibraryLoading { kSearchFlags, kAlteredSearchPath };
// This system's: the search flags come with kernel32's AddDllDirectory.
LibraryLoading LoaderLibraryLoading();

// CoCreateInstance first; on failure the DLL beside `self`.
HRESULT CreateHushcallPlugin(HMODULE self, HostedPlugin& out);
// The DLL at the full `path`, through its DllGetClassObject; a relative
// path is refused, never searched for. kLibraryOfOtherEdition when it is
// the other edition's build.
HRESULT CreatePluginFromLibrary(const std::wstring& path, HostedPlugin& out,
                                LibraryLoading loading = LoaderLibraryLoading());
// The folder of `module`, with a trailing backslash; empty when unknown.
std::wstring ModuleFolder(HMODULE module);

}  // namespace hushcall::host
