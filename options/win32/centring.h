// Where the options dialog goes when it is loaded: centred on the screen.
#pragma once

namespace hushcall {

struct WindowOrigin {
  int left, top;
};

// Left = (screen width - window width) / 2 and Top likewise, worked out in
// single precision on twips (1440 / dpi twips to a pixel) and converted back
// to the nearest pixel. The result is not clamped: a window larger than the
// screen gets a negative origin.
WindowOrigin CentredOrigin(int screenWidthPx, int screenHeightPx, int windowWidthPx, int windowHeightPx,
                           int dpiX, int dpiY);

}  // namespace hushcall
