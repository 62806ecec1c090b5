#include "host/wrapper_object.h"

#include <cstdint>
#include <new>

namespace hushcall::host {

HRESULT WrapperObject::Create(HWND player, Wrapper** out) {
  if (!out) return E_POINTER;
  *out = new (std::nothrow) WrapperObject(player);
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT WrapperObject::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_Wrapper)) {
    *out = static_cast<Wrapper*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG WrapperObject::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

ULONG WrapperObject::Release() {
  LONG left = ::InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT WrapperObject::Reserved() { return E_NOTIMPL; }

HRESULT WrapperObject::SetDescription(BSTR description) {
  // The string stays the caller's: copy it, never free it. A null BSTR is
  // the empty string.
  try {
    description_.assign(description ? description : L"", description ? ::SysStringLen(description) : 0);
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT WrapperObject::GetPlayerWindow(long* hwnd) {
  if (!hwnd) return E_POINTER;
  // Window handles are 32-bit values on this platform; the plug-in keeps
  // them as a signed long.
  *hwnd = static_cast<long>(reinterpret_cast<std::uintptr_t>(player_));
  return S_OK;
}

}  // namespace hushcall::host
