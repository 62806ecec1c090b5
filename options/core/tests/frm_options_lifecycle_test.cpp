// Loading, showing, hiding and unloading, and the components that live with
// the load.
#include "options/core/tests/dialog_fixture.h"

namespace hushcall::testing {
namespace {

TEST_F(DialogTest, LoadCreatesWindowThenComponentsThenRunsFormLoad) {
  const auto before = form.LoadGeneration();
  form.Load();
  EXPECT_TRUE(form.Loaded());
  EXPECT_FALSE(form.Visible());
  EXPECT_NE(form.LoadGeneration(), before);
  EXPECT_EQ(log.front(), "Create");
  EXPECT_LT(at("Create"), at("CreateSerialPort"));
  EXPECT_LT(at("CreateSerialPort"), at("CreateTimer(10000)"));
  EXPECT_LT(at("CreateTimer(10000)"), at("CreateTimer(2000)"));
  EXPECT_LT(at("CreateTimer(2000)"), at("Centre"));
  EXPECT_EQ(log[log.size() - 3], "Centre");
  EXPECT_EQ(log[log.size() - 2], "InitModem");
  ASSERT_NE(components.timer, nullptr);
  EXPECT_FALSE(components.timer->Enabled());
  EXPECT_EQ(form.Port(), components.port);
  EXPECT_EQ(form.RingTimer(), components.timer);
  ASSERT_NE(components.retryTimer, nullptr);
  EXPECT_FALSE(components.retryTimer->Enabled());
  EXPECT_EQ(form.RetryTimer(), components.retryTimer);
}

TEST_F(DialogTest, LoadShowsTheInitialStateToTheView) {
  form.Load();
  for (const char* entry :
       {"ShowChecked(optVolume,1)", "ShowEnabled(fraVolume,false)", "ShowEnabled(sliVolume,false)",
        "ShowSlider(0)", "ShowText(txtVolume,0)", "ShowText(txtCOMPort,1)",
        "ShowChecked(chkEnabled,1)", "ShowEnabled(cmdApply,false)"}) {
    EXPECT_TRUE(logged(entry)) << entry;
  }
}

TEST_F(DialogTest, LoadingALoadedDialogDoesNothing) {
  form.Load();
  log.clear();
  const auto generation = form.LoadGeneration();
  form.Load();
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(form.LoadGeneration(), generation);
}

TEST_F(DialogTest, FailedLoadLeavesNothingBehind) {
  components.failTimer = true;
  EXPECT_THROW(form.Load(), Failure);
  EXPECT_FALSE(form.Loaded());
  EXPECT_EQ(components.port, nullptr);
  EXPECT_FALSE(view.Created());
  EXPECT_FALSE(logged("InitModem"));
}

TEST_F(DialogTest, ShowingAnUnloadedDialogLoadsThenActivatesThenRunsModally) {
  form.ShowModal();
  EXPECT_LT(at("InitModem returns"), at("SetTopmost(true)"));
  EXPECT_LT(at("SetTopmost(true)"), at("RunModal"));
  EXPECT_TRUE(form.Visible());
}

TEST_F(DialogTest, ShowingALoadedHiddenDialogOnlyActivatesIt) {
  form.Load();
  components.port->open = true;
  log.clear();
  form.ShowModal();
  EXPECT_FALSE(logged("Centre")) << "centred only when loaded";
  EXPECT_FALSE(logged("InitModem"));
  EXPECT_FALSE(logged("PortOpen=false"));
  EXPECT_TRUE(logged("SetTopmost(true)"));
  EXPECT_TRUE(logged("RunModal"));
}

TEST_F(DialogTest, ModalShowingEndsWhenOkHidesTheDialog) {
  view.duringModal = {[&] { user().UserClicked(ControlId::cmdOK); },
                      [&] { user().UserClicked(ControlId::cmdAbout); }};
  form.ShowModal();
  EXPECT_FALSE(form.Visible());
  EXPECT_TRUE(boxes.shown.empty()) << "the loop ended before the second action";
  EXPECT_EQ(log.back(), "RunModal returns");
}

TEST_F(DialogTest, ShowingAShownDialogAgainDoesNothing) {
  Show();
  form.ShowModal();
  EXPECT_TRUE(log.empty());
}

TEST_F(DialogTest, UnloadDestroysComponentsThenWindow) {
  form.Load();
  log.clear();
  const auto generation = form.LoadGeneration();
  form.Unload();
  EXPECT_EQ(log, (CallLog{"~Retry", "~Timer", "~SerialPort", "Destroy"}));
  EXPECT_FALSE(form.Loaded());
  EXPECT_FALSE(form.Visible());
  EXPECT_NE(form.LoadGeneration(), generation);
  EXPECT_EQ(form.Port(), nullptr);
  EXPECT_EQ(form.RingTimer(), nullptr);
}

TEST_F(DialogTest, UnloadingAnUnloadedDialogDoesNothing) {
  form.Unload();
  form.Load();
  form.Unload();
  log.clear();
  const auto generation = form.LoadGeneration();
  form.Unload();
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(form.LoadGeneration(), generation);
}

TEST_F(DialogTest, ReloadStartsFromTheInitialStateAndIsCentredAgain) {
  settings.Popup = true;
  settings.Action = kActionStop;
  Show();
  form.Unload();
  log.clear();
  form.Load();
  EXPECT_TRUE(logged("Centre"));
  EXPECT_TRUE(logged("InitModem"));
  EXPECT_EQ(value(ControlId::chkMsg), 0);
  EXPECT_EQ(value(ControlId::optVolume), 1);
  EXPECT_FALSE(controls().Enabled(ControlId::fraVolume));
}

TEST_F(DialogTest, ComponentEventsReachTheRingWatch) {
  form.Load();
  log.clear();
  components.port->RaiseOnComm();
  components.timer->RaiseOnTimer();
  components.retryTimer->RaiseOnTimer();
  EXPECT_EQ(log, (CallLog{"MSComm1_OnComm", "tmrRING_Timer", "tmrRetry_Timer"}));
}

TEST_F(DialogTest, AFailureInAReceiveEventEndsThere) {
  form.Load();
  ring.onComm = [] { throw Failure(kOverflow); };
  EXPECT_NO_THROW(components.port->RaiseOnComm());
  EXPECT_TRUE(form.Loaded());
}

TEST_F(DialogTest, EventsFromAStaleWindowAreIgnored) {
  Show();
  form.Unload();
  log.clear();
  user().UserClicked(ControlId::cmdOK);
  user().UserClicked(ControlId::chkMsg);
  user().UserChangedText(ControlId::txtCOMPort, "9");
  user().UserMovedSlider(9);
  user().UserClosed();
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(form.Loaded());
}

TEST_F(DialogTest, DestroyingALoadedDialogUnloadsIt) {
  auto local = std::make_unique<FrmOptions>(settings, view, components, boxes);
  local->Load();
  log.clear();
  local.reset();
  EXPECT_EQ(log, (CallLog{"~Retry", "~Timer", "~SerialPort", "Destroy"}));
}

}  // namespace
}  // namespace hushcall::testing
