#include "host/plugin_source.h"

namespace hushcall::host {

std::wstring ModuleFolder(HMODULE module) {
  wchar_t path[MAX_PATH];
  DWORD n = ::GetModuleFileNameW(module, path, MAX_PATH);
  std::wstring folder(path, n);
  size_t slash = folder.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

HRESULT CreatePluginFromLibrary(const std::wstring& path, HostedPlugin& out) {
  out.Reset();
  out.library.reset(::LoadLibraryW(path.c_str()));
  if (!out.library) return HRESULT_FROM_WIN32(::GetLastError());
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
