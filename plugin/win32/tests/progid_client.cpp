// A COM client of this program's kind (32- or 64-bit): creates
// Hushcall.Plugin by its ProgID and prints the file of the Hushcall.dll that
// serves it, or the failure's status. Exits 0 when the object was created.
#include <windows.h>
#include <objbase.h>

#include <cstdio>

#include "common/win32/module_file.h"
#include "common/win32/unique.h"

using namespace hushcall::win32;

int main() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  HRESULT hr;
  {
    CLSID clsid = GUID_NULL;
    hr = CLSIDFromProgID(L"Hushcall.Plugin", &clsid);
    com_ptr<IDispatch> plugin;
    if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, plugin.put_void());
    if (SUCCEEDED(hr)) std::printf("%ls\n", ModuleFileName(GetModuleHandleW(L"Hushcall.dll")).c_str());
    else std::printf("0x%08lX\n", static_cast<unsigned long>(hr));
  }
  CoUninitialize();
  return SUCCEEDED(hr) ? 0 : 1;
}
