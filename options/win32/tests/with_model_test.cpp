// The Win32 view under the real dialog model, over fake components, ring
// watch and message boxes: what the user does in the window reaches the
// settings, and what the model sets shows in the window.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "options/core/frm_options.h"
#include "options/core/tests/fake_ring_watch.h"
#include "options/win32/win32_dialog_view.h"
#include "ringwatch/win32/win32_platform.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_components.h"
#include "tests/support/fake_message_boxes.h"
#include "tests/support/starting_settings.h"

namespace hushcall::testing {
namespace {

using enum ControlId;

void CALLBACK EndHungShowing(HWND, UINT, UINT_PTR, DWORD) {
  // A hung showing fails the test instead of hanging it.
  ::PostQuitMessage(99);
}

class WithModelTest : public ::testing::Test {
 protected:
  WithModelTest() {
    SetStartingSettings(settings);
    form.SetRingWatch(&ring);
  }

  HWND Ctl(ControlId id) const { return view.Control(id); }
  std::wstring TextOf(ControlId id) const {
    wchar_t text[64] = {};
    ::GetWindowTextW(Ctl(id), text, 64);
    return text;
  }
  LRESULT Checked(ControlId id) const { return ::SendMessageW(Ctl(id), BM_GETCHECK, 0, 0); }
  // Posted now, handled by the modal loop of the next ShowModal, in order.
  void Post(ControlId id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    ::PostMessageW(Ctl(id), message, wParam, lParam);
  }
  // Shows the dialog modally; the posted actions must end the showing.
  void ShowModalBounded() {
    UINT_PTR guard = ::SetTimer(nullptr, 0, 3000, EndHungShowing);
    form.ShowModal();
    ::KillTimer(nullptr, guard);
    MSG quit{};
    ASSERT_FALSE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the showing did not end";
  }

  CallLog log;
  Settings settings;
  Win32DialogView view;
  FakeComponents components{log};
  FakeMessageBoxes boxes{log};
  FakeRingWatch ring{log};
  FrmOptions form{settings, view, components, boxes};
};

TEST_F(WithModelTest, TheRefreshShowsTheSettingsWithApplyDisabled) {
  settings.Action = kActionPause;
  settings.Volume = 30;
  settings.Popup = true;
  settings.COMPort = 4;
  form.Load();
  Post(cmdCancel, BM_CLICK);
  ShowModalBounded();
  EXPECT_EQ(Checked(optPause), BST_CHECKED);
  EXPECT_EQ(Checked(optVolume), BST_UNCHECKED);
  EXPECT_FALSE(::IsWindowEnabled(Ctl(fraVolume)));
  EXPECT_FALSE(::IsWindowEnabled(Ctl(sliVolume)));
  EXPECT_EQ(::SendMessageW(Ctl(sliVolume), TBM_GETPOS, 0, 0), 30);
  EXPECT_TRUE(TextOf(txtVolume) == L"30%");
  EXPECT_TRUE(TextOf(txtCOMPort) == L"4");
  EXPECT_EQ(Checked(chkMsg), BST_CHECKED);
  EXPECT_FALSE(::IsWindowEnabled(Ctl(cmdApply)));
  EXPECT_FALSE(view.Visible()) << "Cancel hides the dialog";
  EXPECT_TRUE(::GetWindowLongW(view.Window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(WithModelTest, ClicksInTheWindowReachTheSettingsThroughOK) {
  form.Load();
  Post(chkPercent, BM_CLICK);
  Post(optStop, BM_CLICK);
  Post(cmdOK, BM_CLICK);
  ShowModalBounded();
  EXPECT_TRUE(settings.Percent);
  EXPECT_EQ(settings.Action, kActionStop);
  EXPECT_FALSE(view.Visible());
  EXPECT_FALSE(::IsWindowEnabled(Ctl(cmdApply)));
}

TEST_F(WithModelTest, EscapeDropsTheEditsAndRestoresTheControls) {
  form.Load();
  Post(sliVolume, WM_KEYDOWN, VK_RIGHT);
  Post(cmdOK, WM_KEYDOWN, VK_ESCAPE);
  ShowModalBounded();
  EXPECT_EQ(settings.Volume, 50);
  EXPECT_EQ(::SendMessageW(Ctl(sliVolume), TBM_GETPOS, 0, 0), 50);
  EXPECT_FALSE(::IsWindowEnabled(Ctl(cmdApply)));
}

TEST_F(WithModelTest, EnterInTheVolumeTextHandsItToTheSlider) {
  form.Load();
  // Typing 150 over the whole text and pressing Enter: the text is clamped
  // to the slider's maximum, the slider follows and rewrites it with its sign.
  Post(txtVolume, EM_SETSEL, 0, -1);
  for (wchar_t c : std::wstring(L"150")) Post(txtVolume, WM_CHAR, c, 1);
  // The Enter character itself (a posted key's character would queue up
  // behind the OK click below).
  Post(txtVolume, WM_CHAR, 13, 0x001C0001);
  Post(cmdOK, BM_CLICK);
  ShowModalBounded();
  EXPECT_EQ(::SendMessageW(Ctl(sliVolume), TBM_GETPOS, 0, 0), 100);
  EXPECT_TRUE(TextOf(txtVolume) == L"100%");
  EXPECT_EQ(static_cast<int>(settings.Volume), 100);
}

TEST_F(WithModelTest, OKWithEnabledClearedUnloadsFromInsideItsOwnClick) {
  form.Load();
  HWND window = view.Window();
  Post(chkEnabled, BM_CLICK);
  Post(cmdOK, BM_CLICK);
  ShowModalBounded();
  EXPECT_FALSE(settings.Enabled);
  EXPECT_FALSE(form.Loaded());
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_FALSE(view.Created());
}

FrmOptions* unloadTarget = nullptr;

void CALLBACK UnloadFromTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  unloadTarget->Unload();
}

// The host's Quit comes through the message loop, so it runs nested inside
// the dialog's modal showing and unloads the dialog under it.
TEST_F(WithModelTest, AnUnloadWhileShownEndsTheShowingAndTakesTheWindow) {
  form.Load();
  HWND window = view.Window();
  unloadTarget = &form;
  ASSERT_NE(::SetTimer(nullptr, 0, 50, UnloadFromTimer), 0u);
  ShowModalBounded();
  EXPECT_FALSE(form.Loaded());
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_EQ(form.Port(), nullptr);
  EXPECT_EQ(form.RingTimer(), nullptr);
}

TEST_F(WithModelTest, TheCloseBoxEndsTheShowing) {
  form.Load();
  ::PostMessageW(view.Window(), WM_CLOSE, 0, 0);
  ShowModalBounded();
  EXPECT_FALSE(form.Visible());
}

// What the About box found about itself, from a timer inside its loop.
struct BoxSeen {
  HWND dialog = nullptr;
  HWND cancel = nullptr;
  HWND owner = nullptr;
  bool dialogEnabled = true;
  bool found = false;
};
BoxSeen boxSeen;

void CALLBACK AnswerTheBox(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = ::FindWindowW(L"#32770", L"Hushcall");
  if (box == nullptr) return;  // not up yet
  ::KillTimer(nullptr, timer);
  boxSeen.found = true;
  boxSeen.owner = ::GetWindow(box, GW_OWNER);
  boxSeen.dialogEnabled = ::IsWindowEnabled(boxSeen.dialog) != FALSE;
  ::PostMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  // After the box's own loop has ended, ends the showing.
  ::PostMessageW(boxSeen.cancel, BM_CLICK, 0, 0);
}

// A box that opens under the always-on-top dialog while the dialog still
// takes clicks lets the user run Apply inside the box that Apply raised.
TEST(BoxOwner, ABoxWhileTheDialogIsShownIsOwnedByItAndDisablesIt) {
  CallLog log;
  Settings settings;
  SetStartingSettings(settings);
  Win32DialogView view;
  FakeComponents components{log};
  FakeRingWatch ring{log};
  ringwatch::Win32MessageBoxes boxes([&] { return view.BoxOwner(); });
  FrmOptions form{settings, view, components, boxes};
  form.SetRingWatch(&ring);
  form.Load();
  EXPECT_EQ(view.BoxOwner(), nullptr) << "hidden, a box belongs to nothing";

  boxSeen = {view.Window(), view.Control(cmdCancel)};
  ASSERT_NE(::SetTimer(nullptr, 0, 20, AnswerTheBox), 0u);
  UINT_PTR guard = ::SetTimer(nullptr, 0, 3000, EndHungShowing);
  ::PostMessageW(view.Control(cmdAbout), BM_CLICK, 0, 0);
  form.ShowModal();
  ::KillTimer(nullptr, guard);

  ASSERT_TRUE(boxSeen.found);
  EXPECT_EQ(boxSeen.owner, view.Window());
  EXPECT_FALSE(boxSeen.dialogEnabled);
  EXPECT_TRUE(::IsWindowEnabled(view.Window())) << "answered, the dialog takes input again";
}

}  // namespace
}  // namespace hushcall::testing
