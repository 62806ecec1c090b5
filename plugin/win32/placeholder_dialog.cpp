// The options dialog instance until the real dialog and ring watch are
// composed here: it is never loaded, so the plug-in runs without a ring watch.
#include "options/core/options_dialog.h"
#include "plugin/win32/module_state.h"

namespace hushcall {
namespace {

class PlaceholderDialog final : public OptionsDialog {
 public:
  bool Loaded() const override { return false; }
  void Load() override {}
  void ShowModal() override {}
  void Unload() override {}
  bool Visible() const override { return false; }
  void Hide() override {}
  ringwatch::SerialPort* MSComm1() override { return nullptr; }
  ringwatch::Timer* tmrRING() override { return nullptr; }
  std::uint64_t LoadGeneration() const override { return 0; }
};

}  // namespace

OptionsDialog& TheOptionsDialog() {
  static PlaceholderDialog dialog;
  return dialog;
}

}  // namespace hushcall
