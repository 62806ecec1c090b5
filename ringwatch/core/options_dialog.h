// The options dialog's single instance, as the plug-in object and the ring
// watch see it. Every operation throws Failure when it cannot do its work.
#pragma once

#include <cstdint>

namespace hushcall::ringwatch {

class SerialPort;
class Timer;

class OptionsDialog {
 public:
  virtual ~OptionsDialog() = default;

  virtual bool Loaded() const = 0;
  // Creates the window, its controls, MSComm1, tmrRING and tmrRetry in their
  // initial states, then runs Form_Load (centring, then InitModem). No
  // effect when already loaded.
  virtual void Load() = 0;
  // Loads first when needed, shows the dialog modally (Form_Activate) and
  // returns once it has been hidden or unloaded.
  virtual void ShowModal() = 0;
  // Destroys the window, its controls and both components (the port closes).
  // No effect when not loaded.
  virtual void Unload() = 0;
  virtual bool Visible() const = 0;
  // Hides the dialog; ends a modal showing. It stays loaded.
  virtual void Hide() = 0;

  // The components that live exactly while the dialog is loaded; null
  // otherwise.
  virtual SerialPort* Port() = 0;
  virtual Timer* RingTimer() = 0;
  // Ticks every 2 s while a lost line is being tried again.
  virtual Timer* RetryTimer() = 0;
  // Changes on every load and unload, so that a wait that yielded can tell
  // whether the components it started with still exist.
  virtual std::uint64_t LoadGeneration() const = 0;
};

}  // namespace hushcall::ringwatch
