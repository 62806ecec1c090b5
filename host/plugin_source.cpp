#include "host/plugin_source.h"

#include "common/win32/module_file.h"
#include "host/library_edition.h"

namespace hushcall::host {

std::wstring ModuleFolder(HMODULE module) {
  const std::wstring path = win32::ModuleFileName(module);
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

namespace {

// "C:\..." or "\\server\...": what the loader takes as a full path.
bool IsFullPath(const std::wstring& path) {
  return (path.size() > 2 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) ||
         path.starts_with(L"\\\\");
}

HMODULE LoadByFullPath(const std::wstring& path, LibraryLoading loading) {
  // A bare name is never looked up along the search order, where anyone may
  // have planted one: the search flags refuse it, and so do we without them.
  if (loading == LibraryLoading::kSearchFlags)
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!IsFullPath(path)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

LibraryLoading LoaderLibraryLoading() {
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  return kernel32 && ::GetProcAddress(kernel32, "AddDllDirectory") ? LibraryLoading::kSearchFlags
                                                                    : LibraryLoading::kAlteredSearchPath;
}

HRESULT CreatePluginFromLibrary(const std::wstring& path, HostedPlugin& out, LibraryLoading loading) {
  out.Reset();
  out.library.reset(LoadByFullPath(path, loading));
  if (!out.library) {
    const HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
    // The other edition's build fails as a bad image at best: say which it is.
    return LibraryEdition(path) == win32::OtherEdition(win32::kThisEdition) ? kLibraryOfOtherEdition : hr;
  }
  using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto getClassObject = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(
      ::GetProcAddress(out.library.get(), "DllGetClassObject")));
  if (!getClassObject) {
    HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
    out.Reset();
    return FAILED(hr) ? hr : E_FAIL;
  }
  HRESULT hr = getClassObject(kHushcallPluginClsid, IID_IClassFactory, out.factory.put_void());
  if (SUCCEEDED(hr) && !out.factory) hr = E_POINTER;
  if (SUCCEEDED(hr))
    hr = out.factory->CreateInstance(nullptr, IID_ITavWinAmpGenPlugin, out.plugin.put_void());
  if (SUCCEEDED(hr) && !out.plugin) hr = E_POINTER;
  if (FAILED(hr)) out.Reset();
  return hr;
}

HRESULT CreateHushcallPlugin(HMODULE self, HostedPlugin& out) {
  out.Reset();
  HRESULT hr = ::CoCreateInstance(kHushcallPluginClsid, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ITavWinAmpGenPlugin, out.plugin.put_void());
  if (SUCCEEDED(hr) && out.plugin) return S_OK;
  out.Reset();
  return CreatePluginFromLibrary(ModuleFolder(self) + kHushcallDllName, out);
}

}  // namespace hushcall::host
