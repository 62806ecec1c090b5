#include "ringwatch/win32/win32_platform.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "common/win32/utf.h"
#include "common/win32/window_text.h"
#include "ringwatch/win32/component_factory.h"
#include "ringwatch/win32/ring_timer.h"
#include "ringwatch/win32/tests/test_support.h"

namespace hushcall::ringwatch {
namespace {

using testing::PumpUntil;
using testing::TestThread;

// A window that stands in for the player: it records what it is sent and
// answers with a fixed value.
struct SentMessage {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const SentMessage&) const = default;
};
std::vector<SentMessage> g_sent;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_USER || msg == WM_COMMAND) {
    g_sent.push_back({msg, wParam, lParam});
    return 200;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND CreateRecordingWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = RecordingProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"HushcallTestPlayer";
  ::RegisterClassW(&wc);
  return ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

TEST(Win32PlayerWindow, SendsTheValuesUnchangedAndReturnsTheAnswer) {
  win32::unique_hwnd player(CreateRecordingWindow());
  ASSERT_TRUE(player);
  g_sent.clear();
  Win32PlayerWindow window;
  const auto handle = static_cast<std::int32_t>(reinterpret_cast<intptr_t>(player.get()));
  EXPECT_EQ(window.Send(handle, 0x0400, -666, 122), 200);
  window.Send(handle, 0x0111, 40046, 0);
  // A negative value arrives as the same int (sign-extended where WPARAM
  // is 64 bits wide, as a C caller's would be).
  const std::vector<SentMessage> expected = {
      {0x0400, static_cast<WPARAM>(-666), 122},
      {0x0111, 40046, 0},
  };
  EXPECT_EQ(g_sent, expected);
}

TEST(Win32PlayerWindow, MissingWindowAnswersZero) {
  Win32PlayerWindow window;
  EXPECT_EQ(window.Send(0x7ff0, 0x0400, -666, 122), 0);
}

TEST(Win32EventPump, DeliversWhatIsPendingThenReturns) {
  win32::unique_hwnd player(CreateRecordingWindow());
  g_sent.clear();
  ::PostMessageW(player.get(), WM_COMMAND, 1, 0);
  ::PostMessageW(player.get(), WM_COMMAND, 2, 0);
  Win32EventPump pump;
  pump.DoEvents();
  EXPECT_EQ(g_sent.size(), 2u);
}

TEST(Win32EventPump, QuitRequestStopsThePumpAndStaysForTheOwningLoop) {
  win32::unique_hwnd player(CreateRecordingWindow());
  g_sent.clear();
  ::PostQuitMessage(3);
  Win32EventPump pump;
  pump.DoEvents();
  MSG msg;
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
}

TEST(Win32EventPump, ClockNeverGoesBack) {
  Win32EventPump pump;
  const std::int64_t first = pump.NowMs();
  ::Sleep(20);
  const std::int64_t second = pump.NowMs();
  EXPECT_GE(second - first, 15);
}

TEST(WidenUtf8, ConvertsAccentsAndKeepsAscii) {
  EXPECT_EQ(win32::WidenUtf8("Hushcall"), L"Hushcall");
  EXPECT_EQ(win32::WidenUtf8("Gr\xC3\xBC\xC3\x9F" "e"), L"Gr\u00FC\u00DFe");
  EXPECT_EQ(win32::WidenUtf8(""), L"");
}

// Finds the box by its title from another thread, reads its text and
// presses `button`.
std::wstring AnswerBox(const wchar_t* title, int button) {
  std::wstring text;
  for (int i = 0; i < 300; ++i) {
    if (HWND box = ::FindWindowW(L"#32770", title)) {
      text = win32::WindowText(::GetDlgItem(box, 0xFFFF));
      ::SendMessageW(::GetDlgItem(box, button), BM_CLICK, 0, 0);
      break;
    }
    ::Sleep(20);
  }
  return text;
}

TEST(Win32MessageBoxes, ShowsTheTextAndReturnsThePressedButton) {
  std::wstring seen;
  int answer = 0;
  {
    TestThread user([&] { seen = AnswerBox(L"Hushcall \u00FC", IDNO); });
    answer = Win32MessageBoxes().Show("Retry? \xC3\xBC", "Hushcall \xC3\xBC", 19);
  }
  EXPECT_EQ(answer, 7);
  EXPECT_EQ(seen, L"Retry? \u00FC");
}

TEST(Win32MessageBoxes, TimerEventsKeepArrivingWhileTheBoxWaits) {
  RingTimer timer(20);
  int expiries = 0;
  timer.SetOnTimer([&] { ++expiries; });
  timer.SetEnabled(true);
  {
    TestThread user([&] {
      ::Sleep(300);
      AnswerBox(L"Hushcall", IDOK);
    });
    Win32MessageBoxes().Show("The phone is ringing!", "Hushcall", 48);
  }
  EXPECT_GE(expiries, 2);
}

// The "Hushcall" box with `text`, looked for from another thread for up to
// 6 s; null if none came.
HWND WaitForBox(const wchar_t* text) {
  for (int i = 0; i < 300; ++i) {
    for (HWND box = nullptr; (box = ::FindWindowExW(nullptr, box, L"#32770", L"Hushcall"));) {
      if (win32::WindowText(::GetDlgItem(box, 0xFFFF)) == text) return box;
    }
    ::Sleep(20);
  }
  return nullptr;
}

// A box answered while a box opened inside it waits has been answered: it
// leaves the screen at once, though its Show returns only after the inner
// box's. The user answers the outer box first, then the inner one; the
// boxes' own thread looks in between.
TEST(Win32MessageBoxes, AnAnsweredBoxNoLongerCountsWhileABoxInsideItWaits) {
  Win32MessageBoxes boxes;
  RingTimer opener(50);
  opener.SetOnTimer([&] {
    opener.SetEnabled(false);
    boxes.Show("Inner", "Hushcall", 48);
  });
  enum Stage { kStarted, kBothUp, kLookedBefore, kOuterPressed, kLookedAfter };
  std::atomic<int> stage = kStarted;
  bool outerBefore = false, outerAfter = true, innerAfter = false;
  RingTimer probe(20);
  probe.SetOnTimer([&] {
    if (stage == kBothUp) {
      outerBefore = boxes.Unanswered("Outer", "Hushcall");
      stage = kLookedBefore;
    } else if (stage == kOuterPressed) {
      outerAfter = boxes.Unanswered("Outer", "Hushcall");
      innerAfter = boxes.Unanswered("Inner", "Hushcall");
      stage = kLookedAfter;
    }
  });
  opener.SetEnabled(true);
  probe.SetEnabled(true);
  {
    TestThread user([&] {
      const auto await = [&](int wanted) {
        for (int i = 0; i < 300 && stage != wanted; ++i) ::Sleep(20);
      };
      HWND outer = WaitForBox(L"Outer");
      HWND inner = WaitForBox(L"Inner");
      stage = kBothUp;
      await(kLookedBefore);
      if (outer) ::SendMessageW(::GetDlgItem(outer, IDOK), BM_CLICK, 0, 0);
      stage = kOuterPressed;
      await(kLookedAfter);
      if (inner) ::SendMessageW(::GetDlgItem(inner, IDOK), BM_CLICK, 0, 0);
    });
    boxes.Show("Outer", "Hushcall", 48);
  }
  EXPECT_EQ(stage, kLookedAfter);
  EXPECT_TRUE(outerBefore);
  EXPECT_FALSE(outerAfter);
  EXPECT_TRUE(innerAfter);
  EXPECT_FALSE(boxes.Unanswered("Outer", "Hushcall"));
}

TEST(Win32ComponentFactory, MakesAClosedPortAndAStoppedTimer) {
  Win32ComponentFactory factory;
  auto port = factory.CreateSerialPort();
  auto timer = factory.CreateTimer(10000);
  ASSERT_TRUE(port && timer);
  EXPECT_FALSE(port->PortOpen());
  EXPECT_FALSE(timer->Enabled());
}

}  // namespace
}  // namespace hushcall::ringwatch
