// The library's four exports. No code of the plug-in's own runs on load or
// unload: DllMain only remembers the instance handle.
#include <windows.h>
#include <objbase.h>

#include "Hushcall.h"
#include "plugin/win32/class_factory.h"
#include "plugin/win32/classes_registry.h"
#include "plugin/win32/module_lifetime.h"
#include "plugin/win32/registration.h"

using namespace hushcall::win32;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    SetModuleInstance(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (clsid != CLSID_Plugin) return CLASS_E_CLASSNOTAVAILABLE;
  ClassFactory* factory = ClassFactory::Create();
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(riid, object);
  factory->Release();
  return hr;
}

STDAPI DllCanUnloadNow() { return ModuleRefCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  try {
    return RegisterServer(SystemClassesRegistry(), ModulePath());
  } catch (...) {
    return E_UNEXPECTED;
  }
}

STDAPI DllUnregisterServer() {
  try {
    return UnregisterServer(SystemClassesRegistry());
  } catch (...) {
    return E_UNEXPECTED;
  }
}
