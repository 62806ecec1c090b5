// One run of the host wrapper, from the player's init to its quit: COM for
// this thread, the Hushcall.Plugin object and our Wrapper handed to it.
//
// Start and Configure run message loops inside the plug-in (its modem wait,
// boxes and dialog), so the player's quit may arrive while either is still
// running. Quit then reaches the plug-in at once, which ends its waits; the
// objects are released when the outermost running call returns, never from
// under it.
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

  // COM, the plug-in, our Wrapper, then Initialize. On any failure, and
  // after a quit that arrived inside Initialize, everything is released
  // again; Initialize's status is returned.
  HRESULT Start(HWND player);
  // Configure on a started plug-in; S_FALSE when there is none or it quit.
  HRESULT Configure();
  // Quit on the plug-in once; then the plug-in, the Wrapper, the library and
  // COM are released, at once or when the running Start or Configure returns.
  // S_FALSE when there is nothing to quit.
  HRESULT Quit();

  bool started() const { return static_cast<bool>(hosted_.plugin); }
  // Quit has been called: the session is over, or will be once the calls
  // running beneath have returned.
  bool quit() const { return quit_; }
  Wrapper* wrapper() const { return wrapper_.get(); }

 private:
  void Stop();
  // Counts a call into the plug-in for as long as it runs.
  struct Call {
    explicit Call(HostSession& s) : session(s) { ++session.calls_; }
    ~Call();
    HostSession& session;
  };

  Source source_;
  bool comInitialized_ = false;
  HostedPlugin hosted_;
  win32::com_ptr<Wrapper> wrapper_;
  int calls_ = 0;     // Initialize and Configure calls running
  bool quit_ = false;
};

}  // namespace hushcall::host
