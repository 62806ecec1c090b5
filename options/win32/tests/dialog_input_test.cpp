// What the user does to the dialog, and what the model hears of it.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "options/win32/tests/view_fixture.h"

namespace hushcall::testing {
namespace {

using enum ControlId;
using Calls = std::vector<std::string>;

class DialogInputTest : public ViewTest {
 protected:
  // Shows the dialog, puts the focus on `focus`, forgets what that
  // reported, posts the keys to it and runs the modal loop until the model
  // has heard `expected` calls; when none are expected, for 250 ms.
  void PressInModalLoop(ControlId focus, std::vector<MSG> keys, size_t expected) {
    const DWORD start = ::GetTickCount();
    RunModalUntil([&, posted = false]() mutable {
      if (!posted) {
        ::SetFocus(Ctl(focus));
        events.calls.clear();
        for (MSG& key : keys) ::PostMessageW(Ctl(focus), key.message, key.wParam, key.lParam);
        posted = true;
        return false;
      }
      return expected ? events.calls.size() >= expected : ::GetTickCount() - start > 250;
    });
  }
  static MSG Key(UINT message, WPARAM key, LPARAM lParam = 1) { return MSG{nullptr, message, key, lParam, 0, {}}; }
};

TEST_F(DialogInputTest, ClicksOnCheckBoxesAndOptionButtonsAreReported) {
  EnableAll();
  struct Case {
    ControlId id;
    const char* call;
  } cases[] = {{chkPercent, "clicked chkPercent"}, {chkMsg, "clicked chkMsg"}, {chkEnabled, "clicked chkEnabled"},
               {optPause, "clicked optPause"},     {optStop, "clicked optStop"}, {optVolume, "clicked optVolume"},
               {cmdApply, "clicked cmdApply"},     {cmdAbout, "clicked cmdAbout"}};
  for (const Case& c : cases) {
    events.calls.clear();
    ::SendMessageW(Ctl(c.id), BM_CLICK, 0, 0);
    EXPECT_EQ(events.calls, Calls{c.call});
  }
}

TEST_F(DialogInputTest, SelectingAnOptionButtonClearsTheOthersAndTakesTheTabStop) {
  ::SendMessageW(Ctl(optPause), BM_CLICK, 0, 0);
  EXPECT_EQ(::SendMessageW(Ctl(optPause), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(::SendMessageW(Ctl(optVolume), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_TRUE(::GetWindowLongW(Ctl(optPause), GWL_STYLE) & WS_TABSTOP);
  EXPECT_FALSE(::GetWindowLongW(Ctl(optVolume), GWL_STYLE) & WS_TABSTOP);
}

TEST_F(DialogInputTest, MirroredStatesRaiseNoEvents) {
  // The model raises its own handlers when it sets a value; a notification
  // from the view as well would raise them twice.
  view.ShowChecked(chkPercent, 1);
  view.ShowChecked(optStop, 1);
  view.ShowText(txtCOMPort, "12");
  view.ShowText(txtVolume, "50%");
  view.ShowSlider(50);
  view.ShowEnabled(fraVolume, true);
  EXPECT_EQ(events.calls, Calls{});
  EXPECT_EQ(::SendMessageW(Ctl(chkPercent), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(::SendMessageW(Ctl(sliVolume), TBM_GETPOS, 0, 0), 50);
  EXPECT_TRUE(::IsWindowEnabled(Ctl(fraVolume)));
}

TEST_F(DialogInputTest, TextSetFromOutsideTheModelIsReportedAsTyped) {
  ::SendMessageW(Ctl(txtCOMPort), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"3"));
  ::SendMessageW(Ctl(txtVolume), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"12.5"));
  ::SendMessageW(Ctl(txtCOMPort), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  EXPECT_EQ(events.calls, (Calls{"text txtCOMPort=3", "text txtVolume=12.5", "text txtCOMPort="}));
}

TEST_F(DialogInputTest, NonAsciiTextReachesTheModelAsUtf8) {
  view.ShowText(txtCOMPort, "\xC3\xA9");  // é
  wchar_t text[8] = {};
  ::GetWindowTextW(Ctl(txtCOMPort), text, 8);
  EXPECT_EQ(text[0], 0xE9);
  ::SendMessageW(Ctl(txtCOMPort), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"\x00FC"));  // ü
  EXPECT_EQ(events.calls, Calls{"text txtCOMPort=\xC3\xBC"});
}

TEST_F(DialogInputTest, SliderKeysReportTheNewValue) {
  EnableAll();
  ::SendMessageW(Ctl(sliVolume), WM_KEYDOWN, VK_RIGHT, 0);
  ::SendMessageW(Ctl(sliVolume), WM_KEYDOWN, VK_NEXT, 0);
  ::SendMessageW(Ctl(sliVolume), WM_KEYDOWN, VK_END, 0);
  // The track bar may add an end-of-move notice after each key; the model
  // ignores a value it already holds, so only the values' order matters.
  Calls distinct;
  for (const auto& c : events.calls) {
    if (distinct.empty() || distinct.back() != c) distinct.push_back(c);
  }
  EXPECT_EQ(distinct, (Calls{"slider 1", "slider 11", "slider 100"}));
}

TEST_F(DialogInputTest, AMouseClickOnTheSliderReportsTheMoveThenTheClick) {
  EnableAll();
  RECT r{};
  ::SendMessageW(Ctl(sliVolume), TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&r));
  const LPARAM nearRightEnd = MAKELPARAM(r.right - 4, (r.top + r.bottom) / 2);
  ::SendMessageW(Ctl(sliVolume), WM_LBUTTONDOWN, MK_LBUTTON, nearRightEnd);
  ::SendMessageW(Ctl(sliVolume), WM_LBUTTONUP, 0, nearRightEnd);
  ASSERT_GE(events.calls.size(), 2u) << ::testing::PrintToString(events.calls);
  EXPECT_EQ(events.calls.front(), "slider 10") << "a click on the channel pages by 10";
  EXPECT_EQ(events.calls.back(), "slider click");
  EXPECT_EQ(std::count(events.calls.begin(), events.calls.end(), "slider click"), 1);
}

TEST_F(DialogInputTest, CharacterKeysInTextBoxesReachTheModelThenTheBox) {
  EnableAll();
  view.ShowText(txtVolume, "4");
  ::SendMessageW(Ctl(txtVolume), EM_SETSEL, 1, 1);
  ::SendMessageW(Ctl(txtVolume), WM_CHAR, '2', 1);
  EXPECT_EQ(events.calls, (Calls{"char txtVolume 50", "text txtVolume=42"}));
  wchar_t text[8] = {};
  ::GetWindowTextW(Ctl(txtVolume), text, 8);
  EXPECT_STREQ(text, L"42");
}

TEST_F(DialogInputTest, TheCloseBoxTellsTheModelAndLeavesTheWindow) {
  ::SendMessageW(view.Window(), WM_CLOSE, 0, 0);
  ::SendMessageW(view.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(events.calls, (Calls{"closed", "closed"}));
  EXPECT_TRUE(view.Created());
  EXPECT_TRUE(::IsWindow(view.Window()));
}

TEST_F(DialogInputTest, ShowingPutsTheFocusOnOK) {
  view.ShowEnabled(txtCOMPort, true);
  view.FocusAndSelectAll(txtCOMPort);  // focus left elsewhere by an earlier showing
  HWND focus = nullptr;
  view.RunModal([&] {
    focus = ::GetFocus();
    return false;
  });
  EXPECT_EQ(focus, Ctl(cmdOK));
  EXPECT_TRUE(view.Visible());
}

TEST_F(DialogInputTest, EscapePressesCancelWhereverTheFocusIs) {
  EnableAll();
  for (ControlId at : {cmdOK, txtVolume, chkMsg, sliVolume, optVolume}) {
    SCOPED_TRACE(Name(at));
    PressInModalLoop(at, {Key(WM_KEYDOWN, VK_ESCAPE)}, 1);
    EXPECT_EQ(events.calls, Calls{"clicked cmdCancel"});
  }
}

TEST_F(DialogInputTest, EscapeDoesNothingWhileCancelIsDisabled) {
  view.ShowEnabled(cmdCancel, false);
  PressInModalLoop(cmdOK, {Key(WM_KEYDOWN, VK_ESCAPE)}, 0);
  EXPECT_EQ(events.calls, Calls{});
}

TEST_F(DialogInputTest, EnterInTheVolumeTextIsACharacterForTheModel) {
  EnableAll();
  PressInModalLoop(txtVolume, {Key(WM_KEYDOWN, VK_RETURN, 0x001C0001)}, 1);
  EXPECT_EQ(events.calls, Calls{"char txtVolume 13"});
  EXPECT_EQ(::GetFocus(), Ctl(txtVolume)) << "the focus stays in the text";
}

TEST_F(DialogInputTest, EnterPressesOnlyAFocusedButton) {
  EnableAll();
  struct Case {
    ControlId focus;
    Calls expected;
  } cases[] = {{cmdOK, {"clicked cmdOK"}},
               {cmdAbout, {"clicked cmdAbout"}},
               {chkMsg, {}},
               {txtCOMPort, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Name(c.focus));
    PressInModalLoop(c.focus, {Key(WM_KEYDOWN, VK_RETURN, 0x001C0001)}, c.expected.size());
    EXPECT_EQ(events.calls, c.expected);
  }
}

TEST_F(DialogInputTest, TabMovesTheFocusInTabOrder) {
  bool posted = false;
  EXPECT_TRUE(RunModalUntil([&] {
    if (!posted) ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_TAB, 0x000F0001);
    posted = true;
    return ::GetFocus() == Ctl(cmdCancel);
  }));
}

TEST_F(DialogInputTest, AccessKeysReachTheirControls) {
  EnableAll();
  PressInModalLoop(cmdOK, {Key(WM_SYSCHAR, 'b', 0x20000000)}, 1);
  EXPECT_EQ(events.calls, Calls{"clicked cmdAbout"});
  PressInModalLoop(txtCOMPort, {Key(WM_SYSCHAR, 'r', 0x20000000)}, 2);
  EXPECT_EQ(events.calls, (Calls{"left txtCOMPort", "clicked chkPercent"}));
}

TEST_F(DialogInputTest, LeavingATextBoxIsReported) {
  EnableAll();
  view.RunModal([&] {
    view.FocusAndSelectAll(txtVolume);
    ::SetFocus(Ctl(cmdOK));
    return false;
  });
  EXPECT_NE(std::find(events.calls.begin(), events.calls.end(), "left txtVolume"), events.calls.end());
}

TEST_F(DialogInputTest, NothingTheModelThrowsEscapesTheWindow) {
  EnableAll();
  events.onCall = [](const std::string&) { throw std::runtime_error("handler failed"); };
  ::SendMessageW(Ctl(chkMsg), BM_CLICK, 0, 0);
  ::SendMessageW(Ctl(txtVolume), WM_CHAR, '5', 1);
  ::SendMessageW(Ctl(sliVolume), WM_KEYDOWN, VK_RIGHT, 0);
  ::SendMessageW(view.Window(), WM_CLOSE, 0, 0);
  EXPECT_GE(events.calls.size(), 4u);
  EXPECT_EQ(events.calls.front(), "clicked chkMsg");
}

}  // namespace
}  // namespace hushcall::testing
