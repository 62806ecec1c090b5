#include "plugin/win32/plugin_object.h"

#include <new>

#include "plugin/core/plugin_logic.h"
#include "plugin/win32/host_wrapper_adapter.h"
#include "plugin/win32/module_lifetime.h"
#include "plugin/win32/module_state.h"
#include "plugin/win32/decimal_separator.h"

namespace hushcall::win32 {

PluginObject* PluginObject::Create() { return new (std::nothrow) PluginObject(); }

STDMETHODIMP PluginObject::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__Plugin) {
    *object = static_cast<::_Plugin*>(this);
  } else if (riid == IID_ITavWinAmpGenPlugin) {
    *object = static_cast<::ITavWinAmpGenPlugin*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) PluginObject::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) PluginObject::Release() {
  const LONG refs = InterlockedDecrement(&refs_);
  if (refs == 0) delete this;  // releases the host's Wrapper
  return refs;
}

HRESULT PluginObject::LoadTypeInfo() {
  if (typeInfo_) return S_OK;
  com_ptr<ITypeLib> library;
  HRESULT hr = LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, library.put());
  if (FAILED(hr)) return hr;
  com_ptr<ITypeInfo> info;
  hr = library->GetTypeInfoOfGuid(IID__Plugin, info.put());
  if (FAILED(hr)) return hr;

  // A dual interface is described twice; DispInvoke needs the vtable half.
  com_ptr<ITypeInfo> vtable;
  HREFTYPE href = 0;
  if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &href))) {
    hr = info->GetRefTypeInfo(href, vtable.put());
    if (FAILED(hr)) return hr;
  } else {
    vtable.assign(info.get());
  }
  typeInfo_ = std::move(info);
  vtableInfo_ = std::move(vtable);
  return S_OK;
}

STDMETHODIMP PluginObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP PluginObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return StatusOf([&]() -> HRESULT {
    const HRESULT hr = LoadTypeInfo();
    if (FAILED(hr)) return hr;
    typeInfo_->AddRef();
    *info = typeInfo_.get();
    return S_OK;
  });
}

STDMETHODIMP PluginObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  return StatusOf([&]() -> HRESULT {
    const HRESULT hr = LoadTypeInfo();
    if (FAILED(hr)) return hr;
    return DispGetIDsOfNames(vtableInfo_.get(), names, count, ids);
  });
}

STDMETHODIMP PluginObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO* exception, UINT* argError) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  return StatusOf([&]() -> HRESULT {
    const HRESULT hr = LoadTypeInfo();
    if (FAILED(hr)) return hr;
    return DispInvoke(static_cast<::_Plugin*>(this), vtableInfo_.get(), id, flags, params, result,
                      exception, argError);
  });
}

STDMETHODIMP PluginObject::Initialize(::Wrapper* wrapper) {
  return StatusOf([&]() -> HRESULT {
    // The held Wrapper is replaced first, whatever follows.
    hostWrapper_.assign(wrapper);
    if (!wrapper) return E_POINTER;
    PluginEnvironment& env = TheEnvironment();
    env.decimalSeparator = UserDecimalSeparator();
    HostWrapperAdapter host(hostWrapper_.get());
    return PluginInitialize(env, &host);
  });
}

STDMETHODIMP PluginObject::Configure() {
  return StatusOf([&]() -> HRESULT { return PluginConfigure(TheEnvironment()); });
}

STDMETHODIMP PluginObject::Quit() {
  // The host and the player free us once this returns; a wait of ours that
  // dispatched the player's close returns into our code after that.
  PinModuleIfFramesOnStack();
  return StatusOf([&]() -> HRESULT { return PluginQuit(TheEnvironment()); });
}

}  // namespace hushcall::win32
