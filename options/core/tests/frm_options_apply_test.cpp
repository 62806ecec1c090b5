// Apply, OK and Cancel: what reaches the settings, the port and the modem.
#include "options/core/dialog_texts.h"
#include "options/core/tests/dialog_fixture.h"

namespace hushcall::testing {
namespace {

// Shown, with the port open as a successful InitModem leaves it.
class ShownDialogTest : public DialogTest {
 protected:
  void SetUp() override {
    Show();
    components.port->open = true;
  }
  void ExpectSettingsUntouched() {
    EXPECT_EQ(settings.Action.value(), kActionVolume);
    EXPECT_EQ(settings.Volume.value(), 50);
    EXPECT_FALSE(settings.Percent.value());
    EXPECT_FALSE(settings.Popup.value());
    EXPECT_TRUE(settings.Enabled.value());
    EXPECT_EQ(settings.COMPort.value(), 1);
  }
};

struct PortCase {
  const char* text;
  int port;
};

class PortText : public ShownDialogTest, public ::testing::WithParamInterface<PortCase> {};

TEST_P(PortText, ApplyStoresItsLeadingNumberRoundedHalfToEven) {
  typeText(ControlId::txtCOMPort, GetParam().text);
  user().UserClicked(ControlId::cmdApply);
  EXPECT_EQ(settings.COMPort.value(), GetParam().port);
  EXPECT_EQ(ring.initModemCalls, 2) << "an empty or wordy port is no failure here";
}

INSTANTIATE_TEST_SUITE_P(Texts, PortText,
                         ::testing::Values(PortCase{"3", 3}, PortCase{"2.5", 2},
                                           PortCase{"3.5", 4}, PortCase{"", 0},
                                           PortCase{"com3", 0}, PortCase{"255", 255},
                                           PortCase{"-0.4", 0}));

TEST_F(ShownDialogTest, ApplyWithEnabledClearOnlyClearsEnabledAndClosesThePort) {
  user().UserClicked(ControlId::optStop);
  user().UserClicked(ControlId::chkEnabled);
  log.clear();
  user().UserClicked(ControlId::cmdApply);
  EXPECT_EQ(log, (CallLog{"PortOpen?", "PortOpen=false"}));
  EXPECT_FALSE(settings.Enabled.value());
  EXPECT_EQ(settings.Action.value(), kActionVolume) << "no other setting is written";
  EXPECT_TRUE(applyPending());
  EXPECT_TRUE(form.Visible());
}

TEST_F(ShownDialogTest, ApplyWritesTheSettingsClosesThePortReinitialisesAndRefreshes) {
  user().UserClicked(ControlId::chkPercent);
  user().UserClicked(ControlId::chkMsg);
  user().UserMovedSlider(70);
  typeText(ControlId::txtCOMPort, "4");
  log.clear();
  ring.whileWaiting = [&] {
    // InitModem sees every setting already written and the port closed.
    EXPECT_EQ(settings.COMPort.value(), 4);
    EXPECT_EQ(settings.Volume.value(), 70);
    EXPECT_TRUE(settings.Percent.value());
    EXPECT_TRUE(settings.Popup.value());
    EXPECT_FALSE(components.port->open);
  };
  user().UserClicked(ControlId::cmdApply);
  ASSERT_GE(log.size(), 6u);
  EXPECT_EQ(log[0], "PortOpen?");
  EXPECT_EQ(log[1], "PortOpen=false");
  EXPECT_EQ(log[2], "InitModem");
  EXPECT_EQ(log[3], "InitModem returns");
  EXPECT_EQ(log[log.size() - 2], "ShowEnabled(cmdApply,false)");
  EXPECT_EQ(log.back(), "SetTopmost(true)");
  EXPECT_TRUE(settings.Enabled.known());
  EXPECT_TRUE(settings.COMPort.known());
  EXPECT_FALSE(applyPending());
}

TEST_F(ShownDialogTest, ApplyShowsWhatInitModemLeftInTheSettings) {
  user().UserClicked(ControlId::chkMsg);
  ring.whileWaiting = [&] { settings.Enabled = false; };  // the Cancel answer
  user().UserClicked(ControlId::cmdApply);
  EXPECT_EQ(value(ControlId::chkEnabled), 0);
  EXPECT_FALSE(enabled(ControlId::fraOptions));
}

class ActionsKeepTheOtherSettings : public ShownDialogTest,
                                    public ::testing::WithParamInterface<ControlId> {};

TEST_P(ActionsKeepTheOtherSettings, PauseAndStopStillStorePercentVolumeAndPopup) {
  user().UserClicked(ControlId::chkPercent);
  user().UserMovedSlider(20);
  user().UserClicked(ControlId::chkMsg);
  user().UserClicked(GetParam());
  user().UserClicked(ControlId::cmdApply);
  EXPECT_EQ(settings.Action.value(),
            GetParam() == ControlId::optPause ? kActionPause : kActionStop);
  EXPECT_TRUE(settings.Percent.value());
  EXPECT_EQ(settings.Volume.value(), 20);
  EXPECT_TRUE(settings.Popup.value());
}

INSTANTIATE_TEST_SUITE_P(Actions, ActionsKeepTheOtherSettings,
                         ::testing::Values(ControlId::optPause, ControlId::optStop));

class PortOutOfRange : public ShownDialogTest,
                       public ::testing::WithParamInterface<const char*> {};

TEST_P(PortOutOfRange, ApplyRefusesItAndChangesNothing) {
  user().UserClicked(ControlId::chkMsg);
  typeText(ControlId::txtCOMPort, GetParam());
  log.clear();
  user().UserClicked(ControlId::cmdApply);
  EXPECT_EQ(log, (CallLog{"Box(48)", "FocusAndSelectAll(txtCOMPort)"}));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, kPortRangeText);
  EXPECT_EQ(boxes.shown[0].title, "Hushcall");
  ExpectSettingsUntouched();
  EXPECT_TRUE(components.port->open);
  EXPECT_TRUE(applyPending());
}

TEST_P(PortOutOfRange, OkRefusesItBeforeHiding) {
  typeText(ControlId::txtCOMPort, GetParam());
  log.clear();
  user().UserClicked(ControlId::cmdOK);
  EXPECT_EQ(log, (CallLog{"Box(48)", "FocusAndSelectAll(txtCOMPort)"}));
  EXPECT_TRUE(form.Visible());
  ExpectSettingsUntouched();
  EXPECT_TRUE(applyPending());
}

INSTANTIATE_TEST_SUITE_P(Texts, PortOutOfRange,
                         ::testing::Values("256", "300", "-1", "255.5", "1e99"));

TEST_F(ShownDialogTest, PortOutOfRangeDoesNotMatterWhenDisabling) {
  typeText(ControlId::txtCOMPort, "300");
  user().UserClicked(ControlId::chkEnabled);
  user().UserClicked(ControlId::cmdOK);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_FALSE(settings.Enabled.value());
  EXPECT_EQ(settings.COMPort.value(), 1);
  EXPECT_FALSE(form.Loaded());
}

TEST_F(ShownDialogTest, OkWithoutPendingEditsOnlyHides) {
  log.clear();
  user().UserClicked(ControlId::cmdOK);
  EXPECT_EQ(log, (CallLog{"Hide"}));
  EXPECT_FALSE(form.Visible());
  EXPECT_TRUE(form.Loaded());
  ExpectSettingsUntouched();
}

TEST_F(ShownDialogTest, OkWithPendingEditsHidesThenApplies) {
  user().UserClicked(ControlId::optPause);
  log.clear();
  user().UserClicked(ControlId::cmdOK);
  EXPECT_EQ(log[0], "Hide");
  EXPECT_EQ(log[1], "PortOpen?");
  EXPECT_EQ(log[2], "PortOpen=false");
  EXPECT_EQ(log[3], "InitModem");
  EXPECT_EQ(settings.Action.value(), kActionPause);
  EXPECT_FALSE(applyPending());
  EXPECT_TRUE(form.Loaded());
  EXPECT_FALSE(form.Visible());
}

TEST_F(ShownDialogTest, OkWithEnabledClearedUnloadsAndTheRingWatchStops) {
  user().UserClicked(ControlId::chkEnabled);
  log.clear();
  user().UserClicked(ControlId::cmdOK);
  EXPECT_EQ(log,
            (CallLog{"Hide", "PortOpen?", "PortOpen=false", "~Retry", "~Timer", "~SerialPort", "Destroy"}));
  EXPECT_FALSE(settings.Enabled.value());
  EXPECT_FALSE(form.Loaded());
  EXPECT_EQ(form.Port(), nullptr);
  EXPECT_EQ(form.RingTimer(), nullptr);
}

TEST_F(ShownDialogTest, CancelRestoresEveryControlAndLeavesThePortAlone) {
  user().UserClicked(ControlId::optStop);
  user().UserClicked(ControlId::chkPercent);
  user().UserClicked(ControlId::chkMsg);
  user().UserMovedSlider(10);
  typeText(ControlId::txtCOMPort, "7");
  user().UserClicked(ControlId::chkEnabled);
  log.clear();
  user().UserClicked(ControlId::cmdCancel);
  EXPECT_EQ(log[0], "Hide");
  EXPECT_FALSE(logged("PortOpen=false"));
  EXPECT_FALSE(logged("InitModem"));
  EXPECT_EQ(value(ControlId::optVolume), 1);
  EXPECT_EQ(value(ControlId::optStop), 0);
  EXPECT_EQ(value(ControlId::chkPercent), 0);
  EXPECT_EQ(value(ControlId::chkMsg), 0);
  EXPECT_EQ(value(ControlId::sliVolume), 50);
  EXPECT_EQ(text(ControlId::txtCOMPort), "1");
  EXPECT_EQ(value(ControlId::chkEnabled), 1);
  EXPECT_TRUE(enabled(ControlId::sliVolume));
  EXPECT_FALSE(applyPending());
  EXPECT_TRUE(form.Loaded());
  EXPECT_FALSE(form.Visible());
  ExpectSettingsUntouched();
}

TEST_F(ShownDialogTest, ClosingFromTheTitleBarDoesWhatCancelDoes) {
  user().UserClicked(ControlId::chkMsg);
  user().UserClosed();
  EXPECT_TRUE(form.Loaded());
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(value(ControlId::chkMsg), 0);
  EXPECT_FALSE(applyPending());
  EXPECT_TRUE(components.port->open);
}

TEST_F(ShownDialogTest, DisablingThroughApplyThenCancelShowsTheBoxClearNextTime) {
  user().UserClicked(ControlId::chkEnabled);
  user().UserClicked(ControlId::cmdApply);
  user().UserClicked(ControlId::cmdCancel);
  EXPECT_TRUE(form.Loaded()) << "Cancel never unloads";
  form.ShowModal();
  EXPECT_EQ(value(ControlId::chkEnabled), 0);
  EXPECT_FALSE(applyPending());
}

TEST_F(DialogTest, EnablingAPluginThatStartedDisabledStartsTheRingWatchThroughOk) {
  settings.Enabled = false;
  Show();
  user().UserClicked(ControlId::chkEnabled);
  log.clear();
  user().UserClicked(ControlId::cmdOK);
  EXPECT_TRUE(logged("InitModem"));
  EXPECT_TRUE(settings.Enabled.value());
  EXPECT_TRUE(form.Loaded());
  EXPECT_FALSE(form.Visible());
  EXPECT_NE(form.Port(), nullptr);
}

}  // namespace
}  // namespace hushcall::testing
