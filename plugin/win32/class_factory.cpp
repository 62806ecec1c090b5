#include "plugin/win32/class_factory.h"

#include <new>

#include "plugin/win32/plugin_object.h"

namespace hushcall::win32 {

ClassFactory* ClassFactory::Create() { return new (std::nothrow) ClassFactory(); }

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid != IID_IUnknown && riid != IID_IClassFactory) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  *object = static_cast<IClassFactory*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) ClassFactory::Release() {
  const LONG refs = InterlockedDecrement(&refs_);
  if (refs == 0) delete this;
  return refs;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  PluginObject* plugin = PluginObject::Create();
  if (!plugin) return E_OUTOFMEMORY;
  // The object lives on only if the asked interface was there.
  const HRESULT hr = plugin->QueryInterface(riid, object);
  plugin->Release();
  return hr;
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
  if (lock)
    AddModuleRef();
  else
    ReleaseModuleRef();
  return S_OK;
}

}  // namespace hushcall::win32
