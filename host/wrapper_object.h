// The host's Wrapper object, handed to the plug-in's Initialize: it records
// the name the plug-in gives itself and answers the player's window handle.
#pragma once

#include <windows.h>

#include <string>

#include "TavWinAmpGenLib.h"

namespace hushcall::host {

class WrapperObject final : public Wrapper {
 public:
  // A new object with one reference, owned by the caller through `out`.
  static HRESULT Create(HWND player, Wrapper** out);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // Wrapper
  HRESULT STDMETHODCALLTYPE Reserved() override;
  HRESULT STDMETHODCALLTYPE SetDescription(BSTR description) override;
  HRESULT STDMETHODCALLTYPE GetPlayerWindow(long* hwnd) override;

  const std::wstring& description() const { return description_; }

 private:
  explicit WrapperObject(HWND player) : player_(player) {}
  ~WrapperObject() = default;

  LONG refs_ = 1;
  HWND player_;
  std::wstring description_;
};

}  // namespace hushcall::host
