// frmOptions: the options dialog's single instance. It holds the controls'
// state (DialogControls), runs every handler, owns the ring watch's serial
// port, ring timer and retry timer while loaded, and drives a passive
// DialogView.
//
// Three places wait with the message loop running (InitModem, a message box,
// the modal showing), so any handler may find the dialog unloaded, or
// unloaded and loaded again, when such a wait returns. Every handler that
// goes on after a wait first checks that the load it started in still holds.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "options/core/control_states.h"
#include "options/core/dialog_view.h"
#include "ringwatch/core/options_dialog.h"
#include "settings/settings.h"
#include "ringwatch/core/components.h"
#include "ringwatch/core/modring.h"
#include "ringwatch/core/event_pump.h"
#include "ringwatch/core/message_boxes.h"
#include "ringwatch/core/player_window.h"

namespace hushcall {

class FrmOptions final : public ringwatch::OptionsDialog {
 public:
  FrmOptions(Settings& settings, DialogView& view, ringwatch::ComponentFactory& components,
             ringwatch::MessageBoxes& messageBoxes);
  ~FrmOptions() override;
  FrmOptions(const FrmOptions&) = delete;
  FrmOptions& operator=(const FrmOptions&) = delete;

  // The module that InitModem, MSComm1_OnComm, tmrRING_Timer and
  // tmrRetry_Timer go to; may be null (those calls are then skipped).
  void SetRingWatch(ringwatch::RingWatch* ringWatch) { ringWatch_ = ringWatch; }

  // OptionsDialog.
  bool Loaded() const override { return loaded_; }
  void Load() override;
  void ShowModal() override;
  void Unload() override;
  bool Visible() const override { return loaded_ && visible_; }
  void Hide() override;
  ringwatch::SerialPort* Port() override { return msComm1_.get(); }
  ringwatch::Timer* RingTimer() override { return tmrRING_.get(); }
  ringwatch::Timer* RetryTimer() override { return tmrRetry_.get(); }
  std::uint64_t LoadGeneration() const override { return generation_; }

  // What the user reports through the view.
  DialogEvents& Events() { return events_; }
  // The controls' state, for reading.
  const DialogControls& Controls() const { return controls_; }

  // Handlers, named after their control and event.
  void Form_Load();
  void Form_Activate();
  void chkEnabled_Click();
  void chkPercent_Click();
  void chkMsg_Click();
  void optVolume_Click();
  void optPause_Click();
  void optStop_Click();
  void txtCOMPort_Change();
  void sliVolume_Change();
  void sliVolume_Click();
  void txtVolume_LostFocus();
  void txtVolume_KeyPress(std::int16_t keyAscii);
  void cmdApply_Click();
  void cmdOK_Click();
  void cmdCancel_Click();
  void cmdAbout_Click();
  void MSComm1_OnComm();
  void tmrRING_Timer();
  void tmrRetry_Timer();

 private:
  // Turns the view's reports into control changes and handlers. The view's
  // window procedure calls in here, so nothing escapes.
  class EventAdapter final : public DialogEvents {
   public:
    explicit EventAdapter(FrmOptions& form) : form_(form) {}
    void UserClicked(ControlId id) override;
    void UserChangedText(ControlId id, std::string_view text) override;
    void UserMovedSlider(int value) override;
    void UserClickedSlider() override;
    void UserLeftText(ControlId id) override;
    void UserTypedChar(ControlId id, std::int16_t code) override;
    void UserClosed() override;

   private:
    FrmOptions& form_;
  };

  // Code's changes to controls; each raises the control's handler when the
  // value changes, as a user's change would.
  void SetCheck(ControlId id, int value);
  void SetSlider(int value);
  void SetText(ControlId id, std::string_view text);
  void SelectOption(ControlId option);
  void RaiseChanged(ControlId id);
  void EnableApply() { controls_.SetEnabled(ControlId::cmdApply, true); }

  int SliderMax() const;
  // The port text's number when it lies in 0..255 after rounding.
  std::optional<std::uint8_t> PortFromText() const;
  bool PortTextRefused();  // shows the message and puts the focus back
  bool StillLoaded(std::uint64_t generation) const {
    return loaded_ && generation_ == generation;
  }
  void DestroyComponents();
  // The components' events; a failure in them ends there.
  void OnCommEvent() noexcept;
  void OnTimerEvent() noexcept;
  void OnRetryEvent() noexcept;

  Settings& settings_;
  DialogView& view_;
  ringwatch::ComponentFactory& components_;
  ringwatch::MessageBoxes& messageBoxes_;
  ringwatch::RingWatch* ringWatch_ = nullptr;

  EventAdapter events_{*this};
  DialogControls controls_;
  std::unique_ptr<ringwatch::SerialPort> msComm1_;
  std::unique_ptr<ringwatch::Timer> tmrRING_;
  std::unique_ptr<ringwatch::Timer> tmrRetry_;
  bool loaded_ = false;
  bool visible_ = false;
  std::uint64_t generation_ = 0;
};

}  // namespace hushcall
