// The refresh (Form_Activate): controls set from the settings, their handlers
// raised, and Apply left disabled.
#include "options/core/tests/dialog_fixture.h"

namespace hushcall::testing {
namespace {

struct ActionCase {
  std::int32_t action;
  int volume, pause, stop;
  bool volumeFrame;
};

class RefreshByAction : public DialogTest, public ::testing::WithParamInterface<ActionCase> {};

TEST_P(RefreshByAction, SelectsTheActionsButtonAndSetsTheVolumeFrame) {
  const ActionCase& c = GetParam();
  settings.Action = c.action;
  Show();
  EXPECT_EQ(value(ControlId::optVolume), c.volume);
  EXPECT_EQ(value(ControlId::optPause), c.pause);
  EXPECT_EQ(value(ControlId::optStop), c.stop);
  EXPECT_EQ(controls().Enabled(ControlId::fraVolume), c.volumeFrame);
  // Selecting the button raised its handler, yet the refresh ends with Apply off.
  EXPECT_FALSE(applyPending());
}

INSTANTIATE_TEST_SUITE_P(
    Actions, RefreshByAction,
    ::testing::Values(ActionCase{kActionVolume, 1, 0, 0, true},
                      ActionCase{kActionPause, 0, 1, 0, false},
                      ActionCase{kActionStop, 0, 0, 1, false},
                      // Unknown: the loaded state, Lower Volume inside a disabled frame.
                      ActionCase{7, 1, 0, 0, false}));

TEST_F(DialogTest, UnknownActionKeepsTheButtonsAsTheLastRefreshLeftThem) {
  settings.Action = kActionStop;
  Show();
  user().UserClicked(ControlId::cmdCancel);
  settings.Action = 12345;
  form.ShowModal();
  EXPECT_EQ(value(ControlId::optStop), 1);
  EXPECT_FALSE(controls().Enabled(ControlId::fraVolume));
}

TEST_F(DialogTest, ApplyFromAnUnknownActionStoresLowerVolume) {
  settings.Action = 999;
  Show();
  user().UserClicked(ControlId::chkMsg);  // any edit, so that Apply can be pressed
  user().UserClicked(ControlId::cmdApply);
  EXPECT_EQ(settings.Action.value(), kActionVolume);
}

TEST_F(DialogTest, RefreshShowsEverySettingAndEndsWithApplyOffThenTopmost) {
  settings.Percent = true;
  settings.Volume = 30;
  settings.COMPort = 4;
  settings.Popup = true;
  form.ShowModal();
  EXPECT_EQ(value(ControlId::chkPercent), 1);
  EXPECT_EQ(value(ControlId::sliVolume), 30);
  EXPECT_EQ(text(ControlId::txtVolume), "30%");
  EXPECT_EQ(text(ControlId::txtCOMPort), "4");
  EXPECT_EQ(value(ControlId::chkMsg), 1);
  EXPECT_EQ(value(ControlId::chkEnabled), 1);
  const int applyOff = last("ShowEnabled(cmdApply,false)");
  ASSERT_GE(applyOff, 0);
  EXPECT_EQ(log[applyOff + 1], "SetTopmost(true)");
  EXPECT_EQ(log[applyOff + 2], "RunModal");
  EXPECT_LT(at("ShowChecked(chkPercent,1)"), at("ShowSlider(30)"));
  EXPECT_LT(at("ShowSlider(30)"), at("ShowText(txtCOMPort,4)"));
  EXPECT_LT(at("ShowText(txtCOMPort,4)"), at("ShowChecked(chkMsg,1)"));
}

TEST_F(DialogTest, DisabledPluginOpensWithTheWholeActionFrameDisabled) {
  settings.Enabled = false;
  Show();
  EXPECT_EQ(value(ControlId::chkEnabled), 0);
  for (ControlId id : {ControlId::optVolume, ControlId::optPause, ControlId::optStop,
                       ControlId::sliVolume, ControlId::txtVolume, ControlId::chkPercent,
                       ControlId::txtCOMPort, ControlId::chkMsg}) {
    EXPECT_FALSE(enabled(id)) << Name(id);
  }
  for (ControlId id : {ControlId::chkEnabled, ControlId::cmdOK, ControlId::cmdCancel,
                       ControlId::cmdAbout}) {
    EXPECT_TRUE(enabled(id)) << Name(id);
  }
  EXPECT_FALSE(applyPending());
}

TEST_F(DialogTest, RefreshWithTheSlidersOwnValueLeavesTheVolumeTextAlone) {
  Show();  // slider 50, text "50%"
  typeText(ControlId::txtVolume, "whatever");
  user().UserClicked(ControlId::cmdCancel);
  log.clear();
  form.ShowModal();
  EXPECT_EQ(text(ControlId::txtVolume), "whatever");
  EXPECT_FALSE(logged("ShowSlider(50)"));
}

TEST_F(DialogTest, StoredVolumeAboveTheSlidersRangeStopsAtItsMaximum) {
  settings.Volume = 200;
  Show();
  EXPECT_EQ(value(ControlId::sliVolume), 100);
  EXPECT_EQ(text(ControlId::txtVolume), "100%");
}

TEST_F(DialogTest, RefreshRaisesNothingForAControlThatAlreadyShowsItsSetting) {
  // The loaded state already shows Volume 0, port 1 and the boxes' defaults.
  settings.Volume = 0;
  form.Load();
  log.clear();
  form.Form_Activate();
  EXPECT_EQ(log, (CallLog{"ShowEnabled(fraVolume,true)", "ShowEnabled(Label1,true)",
                          "ShowEnabled(sliVolume,true)", "ShowEnabled(txtVolume,true)",
                          "ShowEnabled(chkPercent,true)", "SetTopmost(true)"}));
  EXPECT_EQ(text(ControlId::txtVolume), "0");
}

TEST_F(DialogTest, RefreshOfAnUnloadedDialogDoesNothing) {
  form.Form_Activate();
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(form.Loaded());
}

}  // namespace
}  // namespace hushcall::testing
