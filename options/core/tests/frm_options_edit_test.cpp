// The edit handlers: what a user's change does to the other controls and to
// the Apply-pending mark.
#include "options/core/dialog_texts.h"
#include "options/core/tests/dialog_fixture.h"

namespace hushcall::testing {
namespace {

struct VolumeTextCase {
  const char* typed;
  int slider;
  const char* clampedText;  // set before the slider moves, or null
  const char* finalText;
};

class VolumeTextHandOver : public DialogTest,
                           public ::testing::WithParamInterface<VolumeTextCase> {};

TEST_P(VolumeTextHandOver, LeavingTheTextSetsTheSliderToItsLeadingNumber) {
  const VolumeTextCase& c = GetParam();
  Show();  // slider 50
  typeText(ControlId::txtVolume, c.typed);
  log.clear();
  user().UserLeftText(ControlId::txtVolume);
  EXPECT_EQ(value(ControlId::sliVolume), c.slider);
  EXPECT_EQ(text(ControlId::txtVolume), c.finalText);
  if (c.clampedText) {
    const int clamped = at(std::string("ShowText(txtVolume,") + c.clampedText + ")");
    ASSERT_GE(clamped, 0);
    EXPECT_LT(clamped, at("ShowSlider(" + std::to_string(c.slider) + ")")) << "clamped text first";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, VolumeTextHandOver,
    ::testing::Values(VolumeTextCase{"150", 100, "100", "100%"},
                      VolumeTextCase{"-3", 0, "0", "0%"},
                      VolumeTextCase{"loud", 0, nullptr, "0%"},
                      VolumeTextCase{"12.5", 12, nullptr, "12%"},  // half to even
                      VolumeTextCase{"13.5", 14, nullptr, "14%"},
                      VolumeTextCase{"40%", 40, nullptr, "40%"},
                      VolumeTextCase{" 2 5", 25, nullptr, "25%"},
                      // Same value as the slider: nothing raised, the text stays as typed.
                      VolumeTextCase{"50.4", 50, nullptr, "50.4"},
                      VolumeTextCase{"1e9", 100, "100", "100%"}));

TEST_F(DialogTest, VolumeTextUpperBoundIsTheSlidersMaximumReadEachTime) {
  Show();
  view.sliderMax = 80;
  typeText(ControlId::txtVolume, "95");
  user().UserLeftText(ControlId::txtVolume);
  EXPECT_EQ(value(ControlId::sliVolume), 80);
}

TEST_F(DialogTest, EnterInTheVolumeTextHandsItOverAtOnce) {
  Show();
  typeText(ControlId::txtVolume, "20");
  user().UserTypedChar(ControlId::txtVolume, 'x');
  EXPECT_EQ(value(ControlId::sliVolume), 50);
  user().UserTypedChar(ControlId::txtVolume, 13);
  EXPECT_EQ(value(ControlId::sliVolume), 20);
  EXPECT_TRUE(applyPending());
}

TEST_F(DialogTest, SliderChangeWritesThePercentSignAndClickDoesNot) {
  Show();
  user().UserMovedSlider(30);
  EXPECT_EQ(text(ControlId::txtVolume), "30%");
  EXPECT_TRUE(applyPending());
  EXPECT_FALSE(logged("ShowSlider(30)")) << "the view moved it itself";

  user().UserClicked(ControlId::cmdCancel);
  form.ShowModal();
  user().UserClickedSlider();
  EXPECT_EQ(text(ControlId::txtVolume), "50");
  EXPECT_FALSE(applyPending()) << "a click alone is no edit";
}

struct ClickCase {
  ControlId control;
  int valueAfter;
};

class CheckBoxClick : public DialogTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(CheckBoxClick, TogglesTheBoxAndMarksApplyPending) {
  Show();
  user().UserClicked(GetParam().control);
  EXPECT_EQ(value(GetParam().control), GetParam().valueAfter);
  EXPECT_TRUE(applyPending());
  EXPECT_TRUE(logged("ShowChecked(" + Name(GetParam().control) + "," +
                     std::to_string(GetParam().valueAfter) + ")"));
}

INSTANTIATE_TEST_SUITE_P(Boxes, CheckBoxClick,
                         ::testing::Values(ClickCase{ControlId::chkPercent, 1},
                                           ClickCase{ControlId::chkMsg, 1},
                                           ClickCase{ControlId::chkEnabled, 0}));

TEST_F(DialogTest, EnabledBoxSwitchesTheActionFrame) {
  Show();
  user().UserClicked(ControlId::chkEnabled);
  EXPECT_FALSE(enabled(ControlId::fraOptions));
  EXPECT_FALSE(enabled(ControlId::txtCOMPort));
  EXPECT_TRUE(logged("ShowEnabled(sliVolume,false)"));
  user().UserClicked(ControlId::chkEnabled);
  EXPECT_TRUE(enabled(ControlId::fraOptions));
  EXPECT_TRUE(enabled(ControlId::sliVolume));
}

TEST_F(DialogTest, OptionButtonsSwitchTheVolumeFrame) {
  Show();
  user().UserClicked(ControlId::optPause);
  EXPECT_EQ(value(ControlId::optVolume), 0);
  EXPECT_FALSE(enabled(ControlId::txtVolume));
  EXPECT_TRUE(applyPending());
  user().UserClicked(ControlId::optStop);
  EXPECT_EQ(value(ControlId::optPause), 0);
  EXPECT_FALSE(enabled(ControlId::chkPercent));
  user().UserClicked(ControlId::optVolume);
  EXPECT_TRUE(enabled(ControlId::sliVolume));
}

TEST_F(DialogTest, ClickingTheSelectedOptionRaisesNothing) {
  Show();
  user().UserClicked(ControlId::optVolume);
  EXPECT_FALSE(applyPending());
}

TEST_F(DialogTest, PortTextChangeMarksApplyPendingOnlyWhenTheTextDiffers) {
  Show();
  typeText(ControlId::txtCOMPort, "1");
  EXPECT_FALSE(applyPending());
  typeText(ControlId::txtCOMPort, "12");
  EXPECT_TRUE(applyPending());
  EXPECT_FALSE(logged("ShowText(txtCOMPort,12)")) << "the user's text is not written back";
}

TEST_F(DialogTest, ClicksOnDisabledControlsAreIgnored) {
  settings.Action = kActionPause;
  Show();
  user().UserClicked(ControlId::cmdApply);  // disabled: nothing pending
  EXPECT_TRUE(log.empty());
  user().UserClicked(ControlId::chkPercent);  // inside the disabled Volume frame
  EXPECT_EQ(value(ControlId::chkPercent), 0);
  EXPECT_FALSE(applyPending());
}

TEST_F(DialogTest, AboutShowsFourLinesJoinedByLineFeedCarriageReturn) {
  Show();
  user().UserClicked(ControlId::cmdAbout);
  EXPECT_EQ(log, (CallLog{"Box(64)"}));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].title, "Hushcall");
  const std::string& about = boxes.shown[0].text;
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t p; (p = about.find("\n\r", start)) != std::string::npos; start = p + 2) {
    lines.push_back(about.substr(start, p - start));
  }
  lines.push_back(about.substr(start));
  ASSERT_EQ(lines.size(), 4u);
  for (const auto& line : lines) {
    EXPECT_FALSE(line.empty());
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "only the joins break lines";
  }
  EXPECT_NE(lines[0].find("Hushcall"), std::string::npos);
  EXPECT_NE(lines[3].find("modem"), std::string::npos);
  EXPECT_FALSE(applyPending());
}

}  // namespace
}  // namespace hushcall::testing
