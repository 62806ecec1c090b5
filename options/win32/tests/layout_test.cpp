// The arithmetic of the dialog's arrangement: twips to pixels, nested
// containers, and centring on the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "options/win32/centring.h"
#include "options/win32/layout.h"

namespace hushcall {
namespace {

TEST(TwipsToPixels, FifteenTwipsMakeOnePixelAt96Dpi) {
  EXPECT_EQ(TwipsToPixels(6015, 96), 401);
  EXPECT_EQ(TwipsToPixels(3240, 96), 216);
  EXPECT_EQ(TwipsToPixels(0, 96), 0);
}

TEST(TwipsToPixels, RoundsToTheNearestPixelAtOtherDpis) {
  struct Case {
    int twips, dpi, pixels;
  } cases[] = {
      {120, 120, 10}, {255, 120, 21} /* 21.25 */, {285, 120, 24} /* 23.75 */,
      {375, 144, 38} /* 37.5 */, {-20000, 96, -1333} /* -1333.3 */, {1095, 192, 146},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi;
  }
}

TEST(ClientPixels, ControlsInNestedFramesAddEachContainersOffset) {
  // sliVolume sits in fraVolume (1800, 240), itself in fraOptions (120, 120).
  PixelRect slider = ClientPixels(ControlId::sliVolume, 96, 96);
  EXPECT_EQ(slider.left, 8 + 120 + 8);
  EXPECT_EQ(slider.top, 8 + 16 + 40);
  EXPECT_EQ(slider.width, 233);
  EXPECT_EQ(slider.height, 17);
}

TEST(ClientPixels, EachContainerIsRoundedOnItsOwn) {
  // At 100 dpi chkPercent's left is 120 + 1800 + 1200 twips: 8 + 125 + 83 =
  // 216 pixels, where the summed 3120 twips would round to 217. Its place
  // inside its frame must be the frame's own conversion.
  EXPECT_EQ(ClientPixels(ControlId::chkPercent, 100, 100).left, 216);
  EXPECT_EQ(ClientPixels(ControlId::chkPercent, 100, 100).left - ClientPixels(ControlId::fraVolume, 100, 100).left,
            TwipsToPixels(1200, 100));
}

TEST(OptionsLayout, ListsEveryControlOnceWithContainersFirst) {
  auto layout = OptionsLayout();
  ASSERT_EQ(static_cast<int>(layout.size()), kControlCount);
  std::vector<ControlId> seen;
  for (const auto& c : layout) {
    EXPECT_EQ(std::count(seen.begin(), seen.end(), c.id), 0);
    if (c.container) EXPECT_EQ(std::count(seen.begin(), seen.end(), *c.container), 1);
    seen.push_back(c.id);
  }
}

TEST(CentredOrigin, SplitsTheSpareRoomEvenly) {
  struct Case {
    int screenW, screenH, windowW, windowH, dpi, left, top;
  } cases[] = {
      {1280, 1024, 408, 246, 96, 436, 389},
      // An odd spare room ends in half a pixel (7.5 twips): nearest, away from zero.
      {1280, 1024, 407, 245, 96, 437, 390},
      // A window larger than the screen goes to a negative origin, unclamped.
      {300, 200, 408, 246, 96, -54, -23},
      {300, 200, 407, 245, 96, -54, -23},
      {1280, 1024, 1280, 1024, 96, 0, 0},
      {1920, 1080, 510, 307, 120, 705, 387},
  };
  for (const auto& c : cases) {
    WindowOrigin o = CentredOrigin(c.screenW, c.screenH, c.windowW, c.windowH, c.dpi, c.dpi);
    EXPECT_EQ(o.left, c.left) << c.screenW << "x" << c.screenH << " / " << c.windowW << "x" << c.windowH;
    EXPECT_EQ(o.top, c.top) << c.screenW << "x" << c.screenH << " / " << c.windowW << "x" << c.windowH;
  }
}

}  // namespace
}  // namespace hushcall
