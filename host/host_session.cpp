#include "host/host_session.h"

#include <objbase.h>

#include "host/wrapper_object.h"

namespace hushcall::host {

HRESULT HostSession::Start(HWND player) {
  Stop();
  HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // S_FALSE: already initialised here, still one CoUninitialize owed.
  // RPC_E_CHANGED_MODE: the player chose otherwise; use it, owe nothing.
  if (SUCCEEDED(hr)) comInitialized_ = true;
  else if (hr != RPC_E_CHANGED_MODE) return hr;

  hr = source_(hosted_);
  if (SUCCEEDED(hr) && !hosted_.plugin) hr = E_POINTER;
  if (SUCCEEDED(hr)) hr = WrapperObject::Create(player, wrapper_.put());
  if (SUCCEEDED(hr)) hr = hosted_.plugin->Initialize(wrapper_.get());
  if (FAILED(hr)) Stop();
  return hr;
}

HRESULT HostSession::Configure() {
  if (!hosted_.plugin) return S_FALSE;
  return hosted_.plugin->Configure();
}

HRESULT HostSession::Quit() {
  HRESULT hr = hosted_.plugin ? hosted_.plugin->Quit() : S_FALSE;
  Stop();
  return hr;
}

void HostSession::Stop() {
  // The plug-in first: it holds our Wrapper and lives in the library.
  hosted_.Reset();
  wrapper_.reset();
  if (comInitialized_) {
    comInitialized_ = false;
    ::CoUninitialize();
  }
}

}  // namespace hushcall::host
