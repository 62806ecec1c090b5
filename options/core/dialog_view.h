// The options dialog's window as its behaviour sees it: a passive view.
//
// The model (FrmOptions) holds every control's value, text and enabled
// state and runs the handlers; the view creates the window and controls,
// mirrors what the model sets, and turns the user's actions into model
// events (see DialogEvents).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace hushcall {

enum class ControlId {
  fraOptions,
  optVolume,
  optPause,
  optStop,
  fraVolume,
  Label1,
  sliVolume,
  txtVolume,
  chkPercent,
  Label2,
  txtCOMPort,
  chkMsg,
  chkEnabled,
  cmdOK,
  cmdCancel,
  cmdApply,
  cmdAbout,
};
inline constexpr int kControlCount = static_cast<int>(ControlId::cmdAbout) + 1;

// What the user did, as the view reports it to the model. Each call updates
// the model's value for the control, then raises the control's handler as
// the model's rules say (a value set to what the control already holds
// raises nothing).
class DialogEvents {
 public:
  virtual ~DialogEvents() = default;
  virtual void UserClicked(ControlId id) = 0;           // buttons, check boxes, option buttons
  virtual void UserChangedText(ControlId id, std::string_view text) = 0;  // text boxes
  virtual void UserMovedSlider(int value) = 0;          // keyboard, mouse or wheel
  virtual void UserClickedSlider() = 0;                 // a mouse click on the slider
  virtual void UserLeftText(ControlId id) = 0;          // a text box lost the focus
  virtual void UserTypedChar(ControlId id, std::int16_t code) = 0;  // a character key in a text box
  virtual void UserClosed() = 0;                        // the close box or Alt+F4
};

class DialogView {
 public:
  virtual ~DialogView() = default;

  // Creates the hidden window and its controls in their initial states.
  virtual void Create(DialogEvents& events) = 0;
  virtual void Destroy() = 0;
  virtual bool Created() const = 0;
  // Centres the window on the screen (Form_Load).
  virtual void Centre() = 0;
  // Shows the window with the focus on OK and runs a modal loop for as long
  // as `keepShowing` says; events keep being delivered meanwhile.
  virtual void RunModal(const std::function<bool()>& keepShowing) = 0;
  virtual void Hide() = 0;
  virtual bool Visible() const = 0;
  // SetTopmost on the dialog's window.
  virtual void SetTopmost(bool topmost) = 0;
  virtual std::int32_t WindowHandle() const = 0;

  // Mirrors of the model's state. `enabled` is the control's effective
  // state: a control inside a disabled frame is shown disabled.
  virtual void ShowChecked(ControlId id, int value) = 0;
  virtual void ShowText(ControlId id, std::string_view text) = 0;
  virtual void ShowEnabled(ControlId id, bool enabled) = 0;
  virtual void ShowSlider(int value) = 0;
  virtual int SliderMax() const = 0;
  // Puts the focus in a text box with all its text selected.
  virtual void FocusAndSelectAll(ControlId id) = 0;
};

}  // namespace hushcall
