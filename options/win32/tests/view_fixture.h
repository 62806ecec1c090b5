// A created options view over a recording fake, and a bounded modal run.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "options/win32/tests/recording_events.h"
#include "options/win32/win32_dialog_view.h"

namespace hushcall::testing {

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view.Create(events);
    HDC screen = ::GetDC(nullptr);
    dpiX = ::GetDeviceCaps(screen, LOGPIXELSX);
    dpiY = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
  }
  void TearDown() override { view.Destroy(); }

  HWND Ctl(ControlId id) const { return view.Control(id); }

  void EnableAll() {
    for (int i = 0; i < kControlCount; ++i) view.ShowEnabled(static_cast<ControlId>(i), true);
  }

  // Runs the view's modal loop until `done` holds or 5 s pass; a thread
  // timer wakes the loop so that `done` is looked at often.
  bool RunModalUntil(const std::function<bool()>& done) {
    const DWORD start = ::GetTickCount();
    bool finished = false;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 20, nullptr);
    view.RunModal([&] {
      finished = done();
      return !finished && ::GetTickCount() - start < 5000;
    });
    ::KillTimer(nullptr, timer);
    return finished;
  }

  RecordingEvents events;
  Win32DialogView view;
  int dpiX = 96;
  int dpiY = 96;
};

}  // namespace hushcall::testing
