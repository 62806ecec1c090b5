// The options dialog with any text in its volume and port boxes, between
// the user's other actions: it never stores a setting outside its range,
// takes a port only from a port text that rounds to it, and hands the
// volume text to the slider clamped to the slider's ends.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "options/core/frm_options.h"
#include "options/core/tests/fake_ring_watch.h"
#include "options/core/tests/fake_view.h"
#include "settings/conversions.h"
#include "settings/settings.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_components.h"
#include "tests/support/fake_message_boxes.h"
#include "tests/support/starting_settings.h"

namespace {

using hushcall::ControlId;

void Check(bool ok) {
  if (!ok) std::abort();
}

struct Dialog {
  hushcall::testing::CallLog log;
  hushcall::Settings settings;
  hushcall::testing::FakeView view{log};
  hushcall::testing::FakeComponents components{log};
  hushcall::testing::FakeMessageBoxes boxes{log};
  hushcall::testing::FakeRingWatch ring{log};
  hushcall::FrmOptions form{settings, view, components, boxes};
};

constexpr ControlId kClickable[] = {ControlId::cmdApply, ControlId::cmdOK, ControlId::cmdCancel,
                                    ControlId::chkEnabled, ControlId::optVolume, ControlId::optPause,
                                    ControlId::optStop, ControlId::chkPercent, ControlId::chkMsg};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  Dialog d;
  hushcall::testing::SetStartingSettings(d.settings);
  d.form.SetRingWatch(&d.ring);
  d.form.ShowModal();
  hushcall::DialogEvents& user = d.form.Events();
  const auto& controls = d.form.Controls();

  for (int step = 0; step < 16 && input.remaining_bytes() > 0; ++step) {
    const std::string portText = controls.Text(ControlId::txtCOMPort);
    const std::uint8_t port = d.settings.COMPort;
    switch (input.ConsumeIntegralInRange<int>(0, 5)) {
      case 0:
        user.UserChangedText(ControlId::txtVolume, input.ConsumeRandomLengthString(32));
        break;
      case 1:
        user.UserChangedText(ControlId::txtCOMPort, input.ConsumeRandomLengthString(32));
        break;
      case 2:
      case 3: {
        // Leaving the volume text, or Enter in it, hands it to the slider.
        const double typed = hushcall::LeadingNumber(controls.Text(ControlId::txtVolume));
        const bool volumeLive = controls.EffectivelyEnabled(ControlId::txtVolume);
        if (input.ConsumeBool()) {
          user.UserLeftText(ControlId::txtVolume);
        } else {
          user.UserTypedChar(ControlId::txtVolume, 13);
        }
        const double clamped = std::clamp(typed, 0.0, static_cast<double>(d.view.sliderMax));
        if (volumeLive) Check(std::fabs(controls.Value(ControlId::sliVolume) - clamped) <= 0.5);
        break;
      }
      case 4:
        user.UserClicked(input.PickValueInArray(kClickable));
        break;
      case 5:
        if (!d.form.Visible()) d.form.ShowModal();
        break;
    }
    const std::int32_t action = d.settings.Action;
    Check(action == hushcall::kActionVolume || action == hushcall::kActionPause ||
          action == hushcall::kActionStop);
    Check(d.settings.Volume <= d.view.sliderMax);
    const int slider = controls.Value(ControlId::sliVolume);
    Check(slider >= hushcall::kSliderMin && slider <= d.view.sliderMax);
    if (d.settings.COMPort != port) {
      Check(std::fabs(hushcall::LeadingNumber(portText) - d.settings.COMPort) <= 0.5);
    }
  }
  return 0;
}
