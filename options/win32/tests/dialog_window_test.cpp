// The options dialog as built: its window, every control's kind, text, tool
// tip, state and place, the tab order and the window's own properties.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "options/win32/control_ids.h"
#include "options/win32/tests/view_fixture.h"

namespace hushcall::testing {
namespace {

using enum ControlId;

std::wstring ClassOf(HWND w) {
  wchar_t name[64] = {};
  ::GetClassNameW(w, name, 64);
  return name;
}

std::wstring TextOf(HWND w) {
  wchar_t text[256] = {};
  ::GetWindowTextW(w, text, 256);
  return text;
}

std::wstring ToolTipOf(HWND tips, HWND dialog, HWND control) {
  wchar_t text[256] = {};
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = dialog;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = text;
  ::SendMessageW(tips, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
  return text;
}

RECT ClientRectOf(HWND control, HWND dialog) {
  RECT r{};
  ::GetWindowRect(control, &r);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

struct Expected {
  ControlId id;
  const wchar_t* windowClass;
  LONG kindStyle;  // the BS_TYPEMASK part for buttons, else 0
  const wchar_t* text;
  const wchar_t* toolTip;  // L"" for none
  // Left and top relative to the container; the container's own place.
  int left, top, width, height;
  ControlId container;  // fraOptions/fraVolume, or the control itself for the dialog
  bool enabled;
};

// The arrangement as the dialog's design gives it, in twips.
const Expected kExpected[] = {
    {fraOptions, L"Button", BS_GROUPBOX, L"Action to take on ring", L"", 120, 120, 5775, 2535, fraOptions, true},
    {optVolume, L"Button", BS_AUTORADIOBUTTON, L"&Lower Volume", L"Lowers Winamp's volume when the phone rings",
     240, 480, 1455, 255, fraOptions, true},
    {optPause, L"Button", BS_AUTORADIOBUTTON, L"&Pause Winamp", L"Pauses Winamp when the phone rings", 240, 960,
     1455, 255, fraOptions, true},
    {optStop, L"Button", BS_AUTORADIOBUTTON, L"&Stop Winamp", L"Stops Winamp when the phone rings", 240, 1440, 1455,
     255, fraOptions, true},
    {fraVolume, L"Button", BS_GROUPBOX, L"Volume Options", L"", 1800, 240, 3735, 1575, fraOptions, false},
    {Label1, L"Static", 0, L"Volume to Change to:", L"", 240, 360, 1815, 255, fraVolume, false},
    {sliVolume, L"msctls_trackbar32", 0, L"", L"", 120, 600, 3495, 255, fraVolume, false},
    {txtVolume, L"Edit", 0, L"0", L"Volume to change to", 240, 960, 615, 285, fraVolume, false},
    {chkPercent, L"Button", BS_AUTOCHECKBOX, L"Pe&rcent of current volume",
     L"Change volume to percentage of the current volume", 1200, 960, 2295, 255, fraVolume, false},
    {Label2, L"Static", 0, L"Modem COM Port:", L"", 240, 2040, 1395, 255, fraOptions, true},
    {txtCOMPort, L"Edit", 0, L"1", L"COM port your modem is on", 1680, 2040, 375, 285, fraOptions, true},
    {chkMsg, L"Button", BS_AUTOCHECKBOX, L"&Popup message on ring", L"Displays a message when the phone rings", 2400,
     2040, 2175, 255, fraOptions, true},
    {chkEnabled, L"Button", BS_AUTOCHECKBOX, L"&Enabled", L"Check to enable Hushcall", 120, 2760, 975, 255,
     chkEnabled, true},
    {cmdOK, L"Button", BS_PUSHBUTTON, L"&OK", L"", 1200, 2760, 1095, 375, cmdOK, true},
    {cmdCancel, L"Button", BS_PUSHBUTTON, L"&Cancel", L"", 2400, 2760, 1095, 375, cmdCancel, true},
    {cmdApply, L"Button", BS_PUSHBUTTON, L"&Apply", L"", 3600, 2760, 1095, 375, cmdApply, false},
    {cmdAbout, L"Button", BS_PUSHBUTTON, L"A&bout", L"", 4800, 2760, 1095, 375, cmdAbout, true},
};

class DialogWindowTest : public ViewTest {
 protected:
  int Px(int twips) const { return ::MulDiv(twips, dpiX, 1440); }
  int Py(int twips) const { return ::MulDiv(twips, dpiY, 1440); }
  // Client-area origin of a container, each level converted on its own.
  POINT Origin(const Expected& e) const {
    if (e.container == e.id) return {0, 0};
    switch (e.container) {
      case fraOptions: return {Px(120), Py(120)};
      case fraVolume: return {Px(120) + Px(1800), Py(120) + Py(240)};
      default: return {0, 0};
    }
  }
};

TEST_F(DialogWindowTest, EveryControlHasItsKindTextAndState) {
  for (const Expected& e : kExpected) {
    SCOPED_TRACE(Name(e.id));
    HWND c = Ctl(e.id);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(::GetDlgCtrlID(c), ControlWindowId(e.id));
    EXPECT_EQ(::GetDlgItem(view.Window(), ControlWindowId(e.id)), c);
    EXPECT_EQ(::lstrcmpiW(ClassOf(c).c_str(), e.windowClass), 0) << std::string(ClassOf(c).begin(), ClassOf(c).end());
    if (e.kindStyle) EXPECT_EQ(::GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK, e.kindStyle);
    EXPECT_TRUE(TextOf(c) == e.text);
    EXPECT_EQ(::IsWindowEnabled(c) != FALSE, e.enabled);
    if (e.id != sliVolume) {  // a track bar shows no text and keeps no font
      EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(c, WM_GETFONT, 0, 0)), ::GetStockObject(DEFAULT_GUI_FONT));
    }
  }
}

TEST_F(DialogWindowTest, ToolTipsCarryTheExactTexts) {
  ASSERT_NE(view.ToolTips(), nullptr);
  EXPECT_EQ(::lstrcmpiW(ClassOf(view.ToolTips()).c_str(), TOOLTIPS_CLASSW), 0);
  for (const Expected& e : kExpected) {
    SCOPED_TRACE(Name(e.id));
    EXPECT_TRUE(ToolTipOf(view.ToolTips(), view.Window(), Ctl(e.id)) == e.toolTip);
  }
  // Only the option buttons, the text boxes and the check boxes have one.
  EXPECT_EQ(::SendMessageW(view.ToolTips(), TTM_GETTOOLCOUNT, 0, 0), 8);
}

TEST_F(DialogWindowTest, ControlsSitAtTheirTwipPlacesConvertedAtTheScreenDpi) {
  for (const Expected& e : kExpected) {
    SCOPED_TRACE(Name(e.id));
    const POINT origin = Origin(e);
    const RECT r = ClientRectOf(Ctl(e.id), view.Window());
    EXPECT_EQ(r.left, origin.x + Px(e.left));
    EXPECT_EQ(r.top, origin.y + Py(e.top));
    EXPECT_EQ(r.right - r.left, Px(e.width));
    EXPECT_EQ(r.bottom - r.top, Py(e.height));
  }
}

TEST_F(DialogWindowTest, WindowIsAFixedDialogWithCloseBoxOnlyAndTheExactClientSize) {
  HWND dialog = view.Window();
  EXPECT_TRUE(TextOf(dialog) == L"Hushcall Options");
  EXPECT_EQ(ClassOf(dialog), L"#32770");
  EXPECT_EQ(::FindWindowW(L"#32770", kOptionsDialogCaption), dialog);
  const LONG style = ::GetWindowLongW(dialog, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD));
  EXPECT_FALSE(style & WS_VISIBLE) << "loaded means hidden until shown";
  RECT client{};
  ::GetClientRect(dialog, &client);
  EXPECT_EQ(client.right, Px(6015));
  EXPECT_EQ(client.bottom, Py(3240));
}

TEST_F(DialogWindowTest, HasNoTaskbarButton) {
  // An unowned top-level window, or one with WS_EX_APPWINDOW, gets a button.
  HWND owner = ::GetWindow(view.Window(), GW_OWNER);
  ASSERT_NE(owner, nullptr);
  EXPECT_EQ(owner, view.Owner());
  EXPECT_FALSE(::IsWindowVisible(owner));
  EXPECT_FALSE(::GetWindowLongW(view.Window(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  view.RunModal([] { return false; });
  EXPECT_FALSE(::IsWindowVisible(owner)) << "showing the dialog must not show its owner";
}

TEST_F(DialogWindowTest, StartsInTheLoadedStates) {
  EXPECT_EQ(::SendMessageW(Ctl(optVolume), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(::SendMessageW(Ctl(optPause), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(::SendMessageW(Ctl(optStop), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(::SendMessageW(Ctl(chkPercent), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(::SendMessageW(Ctl(chkMsg), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(::SendMessageW(Ctl(chkEnabled), BM_GETCHECK, 0, 0), BST_CHECKED);
  HWND slider = Ctl(sliVolume);
  EXPECT_EQ(::SendMessageW(slider, TBM_GETRANGEMIN, 0, 0), 0);
  EXPECT_EQ(::SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), 100);
  EXPECT_EQ(view.SliderMax(), 100);
  EXPECT_EQ(::SendMessageW(slider, TBM_GETPOS, 0, 0), 0);
  EXPECT_EQ(::SendMessageW(slider, TBM_GETPAGESIZE, 0, 0), 10);
  EXPECT_EQ(::SendMessageW(slider, TBM_GETLINESIZE, 0, 0), 1);
  EXPECT_FALSE(::GetWindowLongW(slider, GWL_STYLE) & TBS_VERT);
}

TEST_F(DialogWindowTest, TextBoxesAreSingleLineWithNoLengthLimit) {
  for (ControlId id : {txtVolume, txtCOMPort}) {
    SCOPED_TRACE(Name(id));
    const LONG style = ::GetWindowLongW(Ctl(id), GWL_STYLE);
    EXPECT_FALSE(style & ES_MULTILINE);
    EXPECT_TRUE(style & ES_AUTOHSCROLL) << "without it typing stops at the box's width";
    EXPECT_GT(::SendMessageW(Ctl(id), EM_GETLIMITTEXT, 0, 0), 0x10000);
  }
}

std::vector<ControlId> TabCycleFrom(HWND dialog, const Win32DialogView& view, ControlId first) {
  std::vector<ControlId> order;
  HWND at = view.Control(first);
  for (int i = 0; i < 20 && at; ++i) {
    order.push_back(static_cast<ControlId>(::GetDlgCtrlID(at) - kFirstControlWindowId));
    at = ::GetNextDlgTabItem(dialog, at, FALSE);
    if (at == view.Control(first)) break;
  }
  return order;
}

TEST_F(DialogWindowTest, TabRunsButtonsThenOptionsFrameThenEnabledAndAbout) {
  EnableAll();
  EXPECT_EQ(TabCycleFrom(view.Window(), view, cmdOK),
            (std::vector<ControlId>{cmdOK, cmdCancel, cmdApply, optVolume, sliVolume, txtVolume, chkPercent,
                                    txtCOMPort, chkMsg, chkEnabled, cmdAbout}));
}

TEST_F(DialogWindowTest, TabSkipsTheInitiallyDisabledControls) {
  EXPECT_EQ(TabCycleFrom(view.Window(), view, cmdOK),
            (std::vector<ControlId>{cmdOK, cmdCancel, optVolume, txtCOMPort, chkMsg, chkEnabled, cmdAbout}));
}

TEST_F(DialogWindowTest, TabEntersTheOptionGroupAtTheSelectedButton) {
  view.ShowChecked(optVolume, 0);
  view.ShowChecked(optStop, 1);
  EXPECT_EQ(::GetNextDlgTabItem(view.Window(), Ctl(cmdCancel), FALSE), Ctl(optStop));
}

TEST_F(DialogWindowTest, CentreSplitsTheScreensSpareRoomAndKeepsTheSize) {
  RECT before{};
  ::GetWindowRect(view.Window(), &before);
  view.Centre();
  RECT after{};
  ::GetWindowRect(view.Window(), &after);
  const int width = before.right - before.left;
  const int height = before.bottom - before.top;
  EXPECT_EQ(after.right - after.left, width);
  EXPECT_EQ(after.bottom - after.top, height);
  EXPECT_LE(std::abs(2 * after.left - (::GetSystemMetrics(SM_CXSCREEN) - width)), 1);
  EXPECT_LE(std::abs(2 * after.top - (::GetSystemMetrics(SM_CYSCREEN) - height)), 1);
  EXPECT_FALSE(view.Visible());
}

TEST_F(DialogWindowTest, SetTopmostChangesOnlyTheStackingOrder) {
  RECT before{};
  ::GetWindowRect(view.Window(), &before);
  view.SetTopmost(true);
  EXPECT_TRUE(::GetWindowLongW(view.Window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_FALSE(view.Visible()) << "a hidden dialog stays hidden";
  view.SetTopmost(false);
  EXPECT_FALSE(::GetWindowLongW(view.Window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  RECT after{};
  ::GetWindowRect(view.Window(), &after);
  EXPECT_TRUE(::EqualRect(&before, &after));
}

TEST_F(DialogWindowTest, WindowHandleIsTheDialogsHandle) {
  EXPECT_EQ(reinterpret_cast<HWND>(static_cast<std::intptr_t>(view.WindowHandle())), view.Window());
}

TEST_F(DialogWindowTest, DestroyRemovesTheWindowAndCreateBuildsAFreshOne) {
  HWND first = view.Window();
  HWND owner = view.Owner();
  view.ShowText(txtCOMPort, "7");
  view.Destroy();
  EXPECT_FALSE(view.Created());
  EXPECT_FALSE(::IsWindow(first));
  EXPECT_FALSE(::IsWindow(owner));
  view.Destroy();  // a second unload does nothing
  view.Create(events);
  EXPECT_TRUE(view.Created());
  EXPECT_TRUE(TextOf(Ctl(txtCOMPort)) == L"1") << "a new load starts from the initial states";
}

}  // namespace
}  // namespace hushcall::testing
