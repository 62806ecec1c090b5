// The options dialog's controls as data: each control's value, text and own
// enabled state, which frame holds it, and the option group.
//
// Setters report whether the value changed, so that the dialog can raise the
// control's handler exactly when a user's change would have raised it. A
// change is mirrored to the view while the view's window exists.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "options/core/dialog_view.h"

namespace hushcall {

inline constexpr int kSliderMin = 0;
inline constexpr int kSliderDefaultMax = 100;

enum class ControlKind { frame, option, check, slider, text, label, button };

ControlKind KindOf(ControlId id);
// The frame a control sits in, or nothing for the dialog itself.
std::optional<ControlId> ContainerOf(ControlId id);

class DialogControls {
 public:
  explicit DialogControls(DialogView& view) : view_(view) { Reset(); }

  // Every control back to the state it has when the dialog is loaded.
  // Nothing is mirrored: the view creates its controls in that state.
  void Reset();
  // Sends every control's whole state to the view, so the two cannot differ.
  void ShowAll();

  // Check boxes: 0 or 1; option buttons: 1 when selected; the slider: its
  // position. Other controls hold 0.
  int Value(ControlId id) const { return at(id).value; }
  const std::string& Text(ControlId id) const { return at(id).text; }
  // The control's own state, as set.
  bool Enabled(ControlId id) const { return at(id).enabled; }
  // What the user sees: disabled when the control or any frame around it is.
  bool EffectivelyEnabled(ControlId id) const;

  // Return true when the value or text changed. `mirror` is false for a
  // change that the view reported itself (a text box keeps its caret).
  bool SetValue(ControlId id, int value, bool mirror = true);
  bool SetText(ControlId id, std::string_view text, bool mirror = true);
  // Selects one option button and clears the others of the group; true when
  // it was not selected before.
  bool Select(ControlId option);
  // Shows the effective state of the control and of everything inside it
  // wherever that state changed.
  void SetEnabled(ControlId id, bool enabled);

 private:
  struct Control {
    int value = 0;
    std::string text;
    bool enabled = true;
  };
  const Control& at(ControlId id) const { return controls_[static_cast<int>(id)]; }
  Control& at(ControlId id) { return controls_[static_cast<int>(id)]; }
  bool Mirroring() const { return view_.Created(); }
  void ShowValue(ControlId id);

  DialogView& view_;
  std::array<Control, kControlCount> controls_;
};

}  // namespace hushcall
