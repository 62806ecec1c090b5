// Events that run inside a wait: InitModem's polls, a message box, the modal
// showing. Whatever they do to the dialog, the handler that waited must not
// touch a destroyed window or component when the wait returns.
#include "options/core/tests/dialog_fixture.h"

namespace hushcall::testing {
namespace {

class NestingTest : public DialogTest {
 protected:
  void SetUp() override {
    Show();
    components.port->open = true;
  }
  // Everything logged after the last occurrence of `entry`.
  CallLog after(const std::string& entry) const {
    const int i = last(entry);
    return i < 0 ? CallLog{} : CallLog(log.begin() + i + 1, log.end());
  }
};

TEST_F(NestingTest, QuitWhileApplyWaitsForTheModemStopsApply) {
  user().UserClicked(ControlId::chkMsg);
  ring.whileWaiting = [&] { form.Unload(); };
  user().UserClicked(ControlId::cmdApply);
  EXPECT_TRUE(after("InitModem returns").empty()) << "no refresh of a destroyed window";
  EXPECT_FALSE(form.Loaded());
  EXPECT_EQ(form.Port(), nullptr);
}

TEST_F(NestingTest, UnloadAndReloadWhileApplyWaitsIsNoticedToo) {
  user().UserClicked(ControlId::chkMsg);
  ring.whileWaiting = [&] {
    form.Unload();
    form.Load();
  };
  user().UserClicked(ControlId::cmdApply);
  EXPECT_TRUE(form.Loaded());
  // The new load has not been shown: Apply must not refresh it.
  EXPECT_FALSE(logged("SetTopmost(true)"));
  EXPECT_EQ(value(ControlId::chkMsg), 0) << "the new load's initial state";
}

TEST_F(NestingTest, OkPressedWhileApplyWaitsHidesAndLeavesNothingPending) {
  user().UserClicked(ControlId::chkMsg);
  ring.whileWaiting = [&] { user().UserClicked(ControlId::cmdOK); };
  user().UserClicked(ControlId::cmdApply);
  // OK found Apply still pending and ran it inside the first one's wait.
  EXPECT_EQ(ring.initModemCalls, 3);
  EXPECT_TRUE(form.Loaded());
  EXPECT_FALSE(form.Visible());
  EXPECT_FALSE(applyPending());
  EXPECT_TRUE(settings.Popup.value());
}

TEST_F(NestingTest, OkWithEnabledClearedWhileApplyWaitsUnloadsSafely) {
  user().UserClicked(ControlId::chkMsg);
  ring.whileWaiting = [&] {
    user().UserClicked(ControlId::chkEnabled);
    user().UserClicked(ControlId::cmdOK);
  };
  user().UserClicked(ControlId::cmdApply);
  EXPECT_FALSE(form.Loaded());
  EXPECT_FALSE(settings.Enabled.value());
  EXPECT_TRUE(after("InitModem returns").empty());
}

TEST_F(NestingTest, CancelPressedWhileApplyWaitsHidesAndApplyStillRefreshes) {
  user().UserClicked(ControlId::chkMsg);
  user().UserClicked(ControlId::chkPercent);
  ring.whileWaiting = [&] { user().UserClicked(ControlId::cmdCancel); };
  user().UserClicked(ControlId::cmdApply);
  EXPECT_TRUE(form.Loaded());
  EXPECT_FALSE(form.Visible());
  // Apply had written the settings before its wait; the refreshes show them.
  EXPECT_EQ(value(ControlId::chkMsg), 1);
  EXPECT_FALSE(applyPending());
  EXPECT_EQ(after("InitModem returns").back(), "SetTopmost(true)");
}

TEST_F(NestingTest, QuitWhileThePortMessageIsOpenLeavesTheFocusAlone) {
  typeText(ControlId::txtCOMPort, "999");
  boxes.answers = {{kIdOk, [&] { form.Unload(); }}};
  user().UserClicked(ControlId::cmdApply);
  EXPECT_EQ(after("Box(48)"),
            (CallLog{"~Retry", "~Timer", "~SerialPort", "Destroy"}));
  EXPECT_FALSE(logged("FocusAndSelectAll(txtCOMPort)"));
}

TEST_F(NestingTest, QuitWhileTheAboutBoxIsOpen) {
  boxes.answers = {{kIdOk, [&] { form.Unload(); }}};
  user().UserClicked(ControlId::cmdAbout);
  EXPECT_EQ(after("Box(64)"),
            (CallLog{"~Retry", "~Timer", "~SerialPort", "Destroy"}));
}

TEST_F(NestingTest, RingWhileTheAboutBoxIsOpenReachesTheRingWatch) {
  boxes.answers = {{kIdOk, [&] { components.port->RaiseOnComm(); }}};
  user().UserClicked(ControlId::cmdAbout);
  EXPECT_TRUE(logged("MSComm1_OnComm"));
  EXPECT_TRUE(form.Visible());
}

TEST_F(NestingTest, ReceiveEventThatUnloadsTheDialogDestroysItsOwnPortSafely) {
  ring.onComm = [&] { form.Unload(); };
  components.port->RaiseOnComm();
  EXPECT_FALSE(form.Loaded());
  EXPECT_EQ(components.port, nullptr);
}

TEST_F(DialogTest, QuitWhileFormLoadWaitsForTheModemEndsTheShowing) {
  ring.whileWaiting = [&] { form.Unload(); };
  form.ShowModal();
  EXPECT_FALSE(logged("RunModal"));
  EXPECT_FALSE(logged("SetTopmost(true)"));
  EXPECT_FALSE(form.Loaded());
}

TEST_F(DialogTest, QuitWhileShownEndsTheModalLoop) {
  view.duringModal = {[&] { form.Unload(); }, [&] { user().UserClicked(ControlId::cmdAbout); }};
  form.ShowModal();
  EXPECT_FALSE(form.Loaded());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(log.back(), "RunModal returns");
}

TEST_F(DialogTest, NoAnswerAtStartShowsTheDialogInsideTheLoad) {
  // InitModem's No answer shows the hidden dialog modally and waits there.
  view.duringModal = {[&] { user().UserClicked(ControlId::cmdOK); }};
  ring.whileWaiting = [&] {
    if (!form.Visible()) form.ShowModal();
  };
  form.Load();
  EXPECT_LT(at("RunModal"), at("InitModem returns"));
  EXPECT_TRUE(form.Loaded());
  EXPECT_FALSE(form.Visible());
}

}  // namespace
}  // namespace hushcall::testing
