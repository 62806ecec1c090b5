// The modal showing: other windows disabled and enabled again, events kept
// flowing, WM_QUIT handed back, nesting, and unloads from inside handlers.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "options/win32/tests/view_fixture.h"

namespace hushcall::testing {
namespace {

using enum ControlId;
using Calls = std::vector<std::string>;

// A visible top-level window of the test's thread, standing for the player.
win32::unique_hwnd MakeOtherWindow(bool enabled = true) {
  HWND w = ::CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE | (enabled ? 0 : WS_DISABLED), 0, 0, 50,
                             50, nullptr, nullptr, nullptr, nullptr);
  return win32::unique_hwnd(w);
}

class ModalLoopTest : public ViewTest {};

TEST_F(ModalLoopTest, OtherWindowsAreDisabledWhileShownAndOnlyThoseAreEnabledAgain) {
  auto player = MakeOtherWindow();
  auto alreadyDisabled = MakeOtherWindow(false);
  bool playerEnabledDuring = true;
  view.RunModal([&] {
    playerEnabledDuring = ::IsWindowEnabled(player.get());
    return false;
  });
  EXPECT_FALSE(playerEnabledDuring);
  EXPECT_TRUE(::IsWindowEnabled(player.get()));
  EXPECT_FALSE(::IsWindowEnabled(alreadyDisabled.get()));
  EXPECT_TRUE(::IsWindowEnabled(view.Window()));
}

TEST_F(ModalLoopTest, EndsWhenTheModelStopsTheShowingAfterAHandler) {
  events.onCall = [&](const std::string& call) {
    if (call == "clicked cmdOK") view.Hide();
  };
  EXPECT_TRUE(RunModalUntil([&, posted = false]() mutable {
    if (!posted) ::PostMessageW(Ctl(cmdOK), BM_CLICK, 0, 0);
    posted = true;
    return !view.Visible();
  }));
  EXPECT_EQ(events.calls, Calls{"clicked cmdOK"});
}

int ticks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++ticks; }

TEST_F(ModalLoopTest, TimerAndPostedEventsKeepBeingDelivered) {
  ticks = 0;
  UINT_PTR timer = ::SetTimer(nullptr, 0, 10, CountTick);
  EXPECT_TRUE(RunModalUntil([] { return ticks >= 3; }));
  ::KillTimer(nullptr, timer);
}

TEST_F(ModalLoopTest, QuitEndsTheShowingHidesTheDialogAndIsHandedBack) {
  auto player = MakeOtherWindow();
  ::PostQuitMessage(7);
  view.RunModal([] { return true; });
  EXPECT_FALSE(view.Visible());
  EXPECT_TRUE(::IsWindowEnabled(player.get()));
  MSG message{};
  ASSERT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 7u);
}

TEST_F(ModalLoopTest, UnloadFromInsideAHandlerEndsTheShowing) {
  // The model unloads the dialog from inside the view's own notifications;
  // nothing of the window may be used afterwards.
  struct Case {
    const char* trigger;
    UINT message;
    ControlId target;
    WPARAM wParam;
    LPARAM lParam;
  } cases[] = {
      {"clicked cmdOK", BM_CLICK, cmdOK, 0, 0},
      {"closed", WM_CLOSE, cmdOK, 0, 0},
      {"char txtVolume 13", WM_CHAR, txtVolume, 13, 1},
      {"slider 1", WM_KEYDOWN, sliVolume, VK_RIGHT, 0},
      {"text txtCOMPort=9", WM_SETTEXT, txtCOMPort, 0, reinterpret_cast<LPARAM>(L"9")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.trigger);
    if (!view.Created()) view.Create(events);
    EnableAll();
    events.calls.clear();
    events.onCall = [&](const std::string& call) {
      if (call == c.trigger) view.Destroy();
    };
    HWND target = c.message == WM_CLOSE ? view.Window() : Ctl(c.target);
    if (c.message == WM_SETTEXT) {
      ::SendMessageW(target, c.message, c.wParam, c.lParam);
    } else {
      ::PostMessageW(target, c.message, c.wParam, c.lParam);
    }
    const DWORD start = ::GetTickCount();
    view.RunModal([&] { return ::GetTickCount() - start < 3000; });
    EXPECT_LT(::GetTickCount() - start, 2000u) << "the showing did not end with the window";
    EXPECT_FALSE(view.Created());
    events.onCall = nullptr;
  }
}

TEST_F(ModalLoopTest, AModalShowingInsideAHandlerOfAnotherWorks) {
  RecordingEvents innerEvents;
  Win32DialogView inner;
  inner.Create(innerEvents);
  bool outerEnabledDuringInner = true;
  innerEvents.onCall = [&](const std::string& call) {
    if (call == "clicked cmdOK") inner.Hide();
  };
  events.onCall = [&](const std::string& call) {
    if (call != "clicked cmdAbout") return;
    ::PostMessageW(inner.Control(cmdOK), BM_CLICK, 0, 0);
    inner.RunModal([&] {
      outerEnabledDuringInner = ::IsWindowEnabled(view.Window());
      return inner.Visible();
    });
    view.Hide();
  };
  EXPECT_TRUE(RunModalUntil([&, posted = false]() mutable {
    if (!posted) ::PostMessageW(Ctl(cmdAbout), BM_CLICK, 0, 0);
    posted = true;
    return !view.Visible();
  }));
  EXPECT_EQ(innerEvents.calls, Calls{"clicked cmdOK"});
  EXPECT_EQ(events.calls, Calls{"clicked cmdAbout"});
  EXPECT_FALSE(outerEnabledDuringInner);
  EXPECT_TRUE(::IsWindowEnabled(view.Window()));
}

}  // namespace
}  // namespace hushcall::testing
