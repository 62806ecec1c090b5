#include "options/win32/centring.h"

#include <cmath>

namespace hushcall {
namespace {

int CentreOnAxis(int screenPx, int windowPx, int dpi) {
  const float twipsPerPixel = 1440.0f / static_cast<float>(dpi);
  const float screenTwips = static_cast<float>(screenPx) * twipsPerPixel;
  const float windowTwips = static_cast<float>(windowPx) * twipsPerPixel;
  const float originTwips = (screenTwips - windowTwips) / 2.0f;
  return static_cast<int>(std::lround(originTwips / twipsPerPixel));
}

}  // namespace

WindowOrigin CentredOrigin(int screenWidthPx, int screenHeightPx, int windowWidthPx, int windowHeightPx,
                           int dpiX, int dpiY) {
  return {CentreOnAxis(screenWidthPx, windowWidthPx, dpiX), CentreOnAxis(screenHeightPx, windowHeightPx, dpiY)};
}

}  // namespace hushcall
