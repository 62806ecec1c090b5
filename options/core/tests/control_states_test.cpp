#include "options/core/control_states.h"

#include <gtest/gtest.h>

#include "options/core/tests/fake_view.h"
#include "tests/support/call_log.h"

namespace hushcall::testing {
namespace {

class ControlsTest : public ::testing::Test {
 protected:
  void CreateView() {
    struct NoEvents : DialogEvents {
      void UserClicked(ControlId) override {}
      void UserChangedText(ControlId, std::string_view) override {}
      void UserMovedSlider(int) override {}
      void UserClickedSlider() override {}
      void UserLeftText(ControlId) override {}
      void UserTypedChar(ControlId, std::int16_t) override {}
      void UserClosed() override {}
    };
    static NoEvents events;
    view.Create(events);
    log.clear();
  }

  CallLog log;
  FakeView view{log};
  DialogControls controls{view};
};

TEST_F(ControlsTest, DisabledFrameDisablesEverythingInsideItButNotOutside) {
  controls.SetEnabled(ControlId::fraVolume, true);
  controls.SetEnabled(ControlId::fraOptions, false);
  for (ControlId id : {ControlId::optVolume, ControlId::fraVolume, ControlId::sliVolume,
                       ControlId::txtVolume, ControlId::chkPercent, ControlId::Label1,
                       ControlId::txtCOMPort, ControlId::chkMsg, ControlId::Label2}) {
    EXPECT_FALSE(controls.EffectivelyEnabled(id)) << Name(id);
  }
  for (ControlId id : {ControlId::chkEnabled, ControlId::cmdOK, ControlId::cmdCancel,
                       ControlId::cmdAbout}) {
    EXPECT_TRUE(controls.EffectivelyEnabled(id)) << Name(id);
  }
  // Their own states are kept, so re-enabling the outer frame brings them back.
  controls.SetEnabled(ControlId::fraOptions, true);
  EXPECT_TRUE(controls.EffectivelyEnabled(ControlId::sliVolume));
}

TEST_F(ControlsTest, EnablingAFrameShowsOnlyTheControlsWhoseStateChanged) {
  CreateView();
  // fraVolume is disabled, so its controls stay greyed when the outer frame
  // goes off and on; only the outer frame's other controls are mirrored.
  controls.SetEnabled(ControlId::fraOptions, false);
  EXPECT_EQ(log, (CallLog{"ShowEnabled(fraOptions,false)", "ShowEnabled(optVolume,false)",
                          "ShowEnabled(optPause,false)", "ShowEnabled(optStop,false)",
                          "ShowEnabled(Label2,false)", "ShowEnabled(txtCOMPort,false)",
                          "ShowEnabled(chkMsg,false)"}));
  log.clear();
  controls.SetEnabled(ControlId::fraVolume, true);
  EXPECT_TRUE(log.empty()) << "still inside a disabled frame";
  controls.SetEnabled(ControlId::fraOptions, true);
  EXPECT_EQ(log.size(), 12u) << "the outer frame, its seven controls and the inner frame's four";
}

TEST_F(ControlsTest, SelectingAnOptionClearsTheOthers) {
  EXPECT_TRUE(controls.Select(ControlId::optStop));
  EXPECT_EQ(controls.Value(ControlId::optVolume), 0);
  EXPECT_EQ(controls.Value(ControlId::optPause), 0);
  EXPECT_EQ(controls.Value(ControlId::optStop), 1);
  EXPECT_FALSE(controls.Select(ControlId::optStop));
}

TEST_F(ControlsTest, NothingIsMirroredWithoutAWindow) {
  controls.SetValue(ControlId::chkMsg, 1);
  controls.SetEnabled(ControlId::fraOptions, false);
  controls.ShowAll();
  EXPECT_TRUE(log.empty());
}

}  // namespace
}  // namespace hushcall::testing
