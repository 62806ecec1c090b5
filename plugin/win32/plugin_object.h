// The creatable class Plugin: _Plugin (dual, answered from the embedded type
// library) and the host's ITavWinAmpGenPlugin.
#pragma once

#include "Hushcall.h"
#include "common/win32/unique.h"
#include "plugin/win32/module_lifetime.h"

namespace hushcall::win32 {

class PluginObject final : public ::_Plugin, public ::ITavWinAmpGenPlugin {
 public:
  // A new object with one reference, or null when out of memory.
  static PluginObject* Create();

  // IUnknown (one identity: IUnknown and IDispatch answer with _Plugin).
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argError) override;

  // ITavWinAmpGenPlugin
  STDMETHODIMP Initialize(::Wrapper* wrapper) override;
  STDMETHODIMP Configure() override;
  STDMETHODIMP Quit() override;

 private:
  PluginObject() = default;
  ~PluginObject() = default;
  // _Plugin's type information from the library's own type library, loaded
  // on first use.
  HRESULT LoadTypeInfo();

  LONG refs_ = 1;
  ModuleRef moduleRef_;
  com_ptr<::Wrapper> hostWrapper_;  // from Initialize until destruction
  com_ptr<ITypeInfo> typeInfo_;    // _Plugin as the library describes it
  com_ptr<ITypeInfo> vtableInfo_;  // its vtable part, for DispInvoke
};

}  // namespace hushcall::win32
