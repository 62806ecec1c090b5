#include "host/host_session.h"

#include <objbase.h>

#include "host/wrapper_object.h"

namespace hushcall::host {

HostSession::Call::~Call() {
  // The outermost call to return after a quit releases what it held.
  if (--session.calls_ == 0 && session.quit_) session.Stop();
}

HRESULT HostSession::Start(HWND player) {
  Stop();
  quit_ = false;
  HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // S_FALSE: already initialised here, still one CoUninitialize owed.
  // RPC_E_CHANGED_MODE: the player chose otherwise; use it, owe nothing.
  if (SUCCEEDED(hr)) comInitialized_ = true;
  else if (hr != RPC_E_CHANGED_MODE) return hr;

  hr = source_(hosted_);
  if (SUCCEEDED(hr) && !hosted_.plugin) hr = E_POINTER;
  if (SUCCEEDED(hr)) hr = WrapperObject::Create(player, wrapper_.put());
  if (SUCCEEDED(hr)) {
    Call call(*this);
    hr = hosted_.plugin->Initialize(wrapper_.get());
  }
  if (FAILED(hr)) Stop();
  return hr;
}

HRESULT HostSession::Configure() {
  if (!hosted_.plugin || quit_) return S_FALSE;
  Call call(*this);
  return hosted_.plugin->Configure();
}

HRESULT HostSession::Quit() {
  if (!hosted_.plugin || quit_) return S_FALSE;
  quit_ = true;
  HRESULT hr;
  {
    Call call(*this);  // released here unless a start or configure runs beneath
    hr = hosted_.plugin->Quit();
  }
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
