// The options dialog's arrangement: every control's kind, container,
// caption, tool tip, place in twips and initial state, in tab order.
#pragma once

#include <optional>
#include <span>

#include "options/core/dialog_view.h"

namespace hushcall {

// The window class and styles a control is made with.
enum class ControlClass { frame, optionButton, checkBox, textBox, label, commandButton, slider };

struct TwipsRect {
  int left, top, width, height;
};

struct ControlLayout {
  ControlId id;
  ControlClass windowClass;
  std::optional<ControlId> container;  // none: the dialog's client area
  const wchar_t* text;                 // caption with its & access key, or initial text
  const wchar_t* toolTip;              // null: none
  TwipsRect place;                     // relative to the container
  bool enabled;
  int checked;                         // check boxes and option buttons
};

// In tab order, which is also the creation order: a container precedes
// what it holds.
std::span<const ControlLayout> OptionsLayout();
const ControlLayout& LayoutOf(ControlId id);

inline constexpr int kClientWidthTwips = 6015;
inline constexpr int kClientHeightTwips = 3240;

// pixels = twips * dpi / 1440, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dpi);

// The place of a control in pixels relative to the dialog's client area:
// each container's offset is converted on its own and added, as a toolkit
// that nests containers does.
struct PixelRect {
  int left, top, width, height;
};
PixelRect ClientPixels(ControlId id, int dpiX, int dpiY);

}  // namespace hushcall
