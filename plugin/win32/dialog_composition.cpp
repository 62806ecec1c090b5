// Puts the options dialog and the ring watch together for the loaded
// library: the model over its Win32 window, the serial port control and ring
// timer it carries, and the ring-watch module that both drive.
#include <functional>
#include <optional>
#include <utility>

#include "options/core/frm_options.h"
#include "options/win32/win32_dialog_view.h"
#include "plugin/win32/module_lifetime.h"
#include "plugin/win32/module_state.h"
#include "ringwatch/core/modring.h"
#include "ringwatch/core/player_window_reaction.h"
#include "ringwatch/win32/component_factory.h"
#include "ringwatch/win32/win32_platform.h"

namespace hushcall {
namespace {

// The loops that run events nested in our frames, each counted while it
// runs, so that a quit from inside one keeps this library loaded.
class CountedMessageBoxes final : public ringwatch::MessageBoxes {
 public:
  explicit CountedMessageBoxes(std::function<HWND()> owner) : boxes_(std::move(owner)) {}
  int Show(std::string_view text, std::string_view title, int code) override {
    win32::FrameOnStack frame;
    return boxes_.Show(text, title, code);
  }
  bool Unanswered(std::string_view text, std::string_view title) override {
    return boxes_.Unanswered(text, title);
  }

 private:
  ringwatch::Win32MessageBoxes boxes_;
};

class CountedEventPump final : public ringwatch::EventPump {
 public:
  void DoEvents() override {
    win32::FrameOnStack frame;
    pump_.DoEvents();
  }
  std::int64_t NowMs() override { return pump_.NowMs(); }

 private:
  ringwatch::Win32EventPump pump_;
};

// The dialog instance as the plug-in object sees it. While the dialog is
// loaded its windows and the serial reader live in this library, so it then
// holds the library in memory (DllCanUnloadNow answers S_FALSE).
class ComposedDialog final : public ringwatch::OptionsDialog {
 public:
  ComposedDialog()
      : view_(win32::ModuleInstance()),
        // Owned by the dialog while it is on screen, else by nothing: a box
        // owned by the player would lock its window (no pause or stop while
        // the box waits) and hide with it when it is minimised.
        messageBoxes_([this] { return view_.BoxOwner(); }),
        frmOptions_(TheSettings(), view_, components_, messageBoxes_),
        reaction_(TheSettings(), ThePlayerWnd(), player_),
        modRing_(TheSettings(), frmOptions_, messageBoxes_, reaction_, pump_) {
    frmOptions_.SetRingWatch(&modRing_);
  }

  bool Loaded() const override { return frmOptions_.Loaded(); }
  void Load() override { Track([&] { frmOptions_.Load(); }); }
  void ShowModal() override { Track([&] { frmOptions_.ShowModal(); }); }
  void Unload() override { Track([&] { frmOptions_.Unload(); }); }
  bool Visible() const override { return frmOptions_.Visible(); }
  void Hide() override { frmOptions_.Hide(); }
  ringwatch::SerialPort* Port() override { return frmOptions_.Port(); }
  ringwatch::Timer* RingTimer() override { return frmOptions_.RingTimer(); }
  ringwatch::Timer* RetryTimer() override { return frmOptions_.RetryTimer(); }
  std::uint64_t LoadGeneration() const override { return frmOptions_.LoadGeneration(); }

 private:
  template <class Operation>
  void Track(Operation&& operation) {
    // Held across the call too: the dialog may be loaded inside it and the
    // host may not unload us while our window procedures run.
    win32::ModuleRef during;
    win32::FrameOnStack frame;
    struct Sync {
      ComposedDialog& self;
      ~Sync() {
        if (self.frmOptions_.Loaded()) {
          if (!self.loadedRef_) self.loadedRef_.emplace();
        } else {
          self.loadedRef_.reset();
        }
      }
    } sync{*this};
    operation();
  }

  Win32DialogView view_;
  ringwatch::Win32ComponentFactory components_;
  CountedMessageBoxes messageBoxes_;
  ringwatch::Win32PlayerWindow player_;
  CountedEventPump pump_;
  FrmOptions frmOptions_;
  ringwatch::PlayerWindowReaction reaction_;
  ringwatch::ModRing modRing_;
  std::optional<win32::ModuleRef> loadedRef_;
};

}  // namespace

ringwatch::OptionsDialog& TheOptionsDialog() {
  // Made on first use and kept for the life of the process: no code of ours
  // runs when the library is unloaded.
  static ComposedDialog* dialog = new ComposedDialog;
  return *dialog;
}

}  // namespace hushcall
