// One run of the host wrapper, from the player's init to its quit: COM for
// this thread, the Hushcall.Plugin object and our Wrapper handed to it.
#pragma once

#include <windows.h>

#include <functional>

#include "TavWinAmpGenLib.h"
#include "common/win32/unique.h"
#include "host/plugin_source.h"

namespace hushcall::host {

class HostSession {
 public:
  using Source = std::function<HRESULT(HostedPlugin&)>;
  explicit HostSession(Source source) : source_(std::move(source)) {}
  ~HostSession() { Stop(); }
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  // COM, the plug-in, our Wrapper, then Initialize. On any failure
  // everything is released again and the status returned.
  HRESULT Start(HWND player);
  // Configure on a started plug-in; S_FALSE when there is none.
  HRESULT Configure();
  // Quit, then release the plug-in, the Wrapper, the library and COM.
  HRESULT Quit();

  bool started() const { return static_cast<bool>(hosted_.plugin); }
  Wrapper* wrapper() const { return wrapper_.get(); }

 private:
  void Stop();

  Source source_;
  bool comInitialized_ = false;
  HostedPlugin hosted_;
  win32::com_ptr<Wrapper> wrapper_;
};

}  // namespace hushcall::host
