#include "options/core/frm_options.h"

#include <string>

#include "common/status.h"
#include "options/core/dialog_texts.h"
#include "settings/conversions.h"

namespace hushcall {

namespace {

constexpr std::int16_t kEnterKey = 13;

}  // namespace

FrmOptions::FrmOptions(Settings& settings, DialogView& view,
                       ringwatch::ComponentFactory& components,
                       ringwatch::MessageBoxes& messageBoxes)
    : settings_(settings),
      view_(view),
      components_(components),
      messageBoxes_(messageBoxes),
      controls_(view) {}

FrmOptions::~FrmOptions() {
  try {
    Unload();
  } catch (...) {
    // The window goes with the process; nothing more can be done here.
  }
}

// ---- Lifetime ----

void FrmOptions::Load() {
  if (loaded_) return;
  controls_.Reset();
  view_.Create(events_);
  try {
    loaded_ = true;
    visible_ = false;
    controls_.ShowAll();
    msComm1_ = components_.CreateSerialPort();
    msComm1_->SetOnComm([form = this] { form->OnCommEvent(); });
    tmrRING_ = components_.CreateTimer(ringwatch::kRingTimerIntervalMs);
    tmrRING_->SetOnTimer([form = this] { form->OnTimerEvent(); });
    tmrRetry_ = components_.CreateTimer(ringwatch::kLineRetryIntervalMs);
    tmrRetry_->SetOnTimer([form = this] { form->OnRetryEvent(); });
  } catch (...) {
    loaded_ = false;
    DestroyComponents();
    view_.Destroy();
    throw;
  }
  ++generation_;
  Form_Load();
}

void FrmOptions::Unload() {
  if (!loaded_) return;
  loaded_ = false;
  visible_ = false;
  ++generation_;
  DestroyComponents();
  view_.Destroy();
}

void FrmOptions::DestroyComponents() {
  // The timers first, so that no expiry runs against a port being closed.
  tmrRetry_.reset();
  tmrRING_.reset();
  msComm1_.reset();
}

void FrmOptions::ShowModal() {
  if (!loaded_) Load();
  // Form_Load's InitModem waits, and may have unloaded or shown the dialog.
  if (!loaded_ || visible_) return;
  const auto generation = generation_;
  visible_ = true;
  Form_Activate();
  if (!StillLoaded(generation)) return;
  view_.RunModal([this, generation] { return StillLoaded(generation) && visible_; });
}

void FrmOptions::Hide() {
  visible_ = false;
  if (loaded_) view_.Hide();
}

// ---- Code's changes to controls ----

void FrmOptions::SetCheck(ControlId id, int value) {
  if (controls_.SetValue(id, value)) RaiseChanged(id);
}

void FrmOptions::SetSlider(int value) {
  // A stored volume may exceed what the slider offers; it stops at its ends.
  if (value < kSliderMin) value = kSliderMin;
  if (value > SliderMax()) value = SliderMax();
  if (controls_.SetValue(ControlId::sliVolume, value)) sliVolume_Change();
}

void FrmOptions::SetText(ControlId id, std::string_view text) {
  if (controls_.SetText(id, text)) RaiseChanged(id);
}

void FrmOptions::SelectOption(ControlId option) {
  if (controls_.Select(option)) RaiseChanged(option);
}

void FrmOptions::RaiseChanged(ControlId id) {
  switch (id) {
    case ControlId::chkEnabled: chkEnabled_Click(); break;
    case ControlId::chkPercent: chkPercent_Click(); break;
    case ControlId::chkMsg: chkMsg_Click(); break;
    case ControlId::optVolume: optVolume_Click(); break;
    case ControlId::optPause: optPause_Click(); break;
    case ControlId::optStop: optStop_Click(); break;
    case ControlId::txtCOMPort: txtCOMPort_Change(); break;
    case ControlId::sliVolume: sliVolume_Change(); break;
    default: break;  // the volume text has no change handler
  }
}

int FrmOptions::SliderMax() const {
  return view_.Created() ? view_.SliderMax() : kSliderDefaultMax;
}

std::optional<std::uint8_t> FrmOptions::PortFromText() const {
  try {
    const std::int32_t port = RoundToInt32(LeadingNumber(controls_.Text(ControlId::txtCOMPort)));
    if (port < 0 || port > 255) return std::nullopt;
    return static_cast<std::uint8_t>(port);
  } catch (const Failure&) {
    return std::nullopt;  // beyond any integer: out of range as well
  }
}

bool FrmOptions::PortTextRefused() {
  if (PortFromText()) return false;
  const auto generation = generation_;
  messageBoxes_.Show(kPortRangeText, kProductName, ringwatch::kMbExclamationOk);
  if (StillLoaded(generation)) view_.FocusAndSelectAll(ControlId::txtCOMPort);
  return true;
}

// ---- Handlers ----

void FrmOptions::Form_Load() {
  view_.Centre();
  if (ringWatch_) ringWatch_->InitModem();
}

void FrmOptions::Form_Activate() {
  if (!loaded_) return;
  switch (settings_.Action.value()) {
    case kActionVolume:
      SelectOption(ControlId::optVolume);
      controls_.SetEnabled(ControlId::fraVolume, true);
      break;
    case kActionPause:
      SelectOption(ControlId::optPause);
      controls_.SetEnabled(ControlId::fraVolume, false);
      break;
    case kActionStop:
      SelectOption(ControlId::optStop);
      controls_.SetEnabled(ControlId::fraVolume, false);
      break;
    default:
      break;  // an unknown action is kept as it is; the buttons stay as they were
  }
  SetCheck(ControlId::chkPercent, BoolToBit(settings_.Percent));
  SetSlider(settings_.Volume.value());
  SetText(ControlId::txtCOMPort, std::to_string(settings_.COMPort.value()));
  SetCheck(ControlId::chkMsg, BoolToBit(settings_.Popup));
  SetCheck(ControlId::chkEnabled, BoolToBit(settings_.Enabled));
  // Last, after every handler the steps above raised has enabled it.
  controls_.SetEnabled(ControlId::cmdApply, false);
  if (view_.Created()) view_.SetTopmost(true);
}

void FrmOptions::chkEnabled_Click() {
  controls_.SetEnabled(ControlId::fraOptions, controls_.Value(ControlId::chkEnabled) == 1);
  EnableApply();
}

void FrmOptions::chkPercent_Click() { EnableApply(); }

void FrmOptions::chkMsg_Click() { EnableApply(); }

void FrmOptions::optVolume_Click() {
  controls_.SetEnabled(ControlId::fraVolume, true);
  EnableApply();
}

void FrmOptions::optPause_Click() {
  controls_.SetEnabled(ControlId::fraVolume, false);
  EnableApply();
}

void FrmOptions::optStop_Click() {
  controls_.SetEnabled(ControlId::fraVolume, false);
  EnableApply();
}

void FrmOptions::txtCOMPort_Change() { EnableApply(); }

void FrmOptions::sliVolume_Change() {
  SetText(ControlId::txtVolume, std::to_string(controls_.Value(ControlId::sliVolume)) + "%");
  EnableApply();
}

void FrmOptions::sliVolume_Click() {
  SetText(ControlId::txtVolume, std::to_string(controls_.Value(ControlId::sliVolume)));
}

void FrmOptions::txtVolume_LostFocus() {
  if (LeadingNumber(controls_.Text(ControlId::txtVolume)) < 0) SetText(ControlId::txtVolume, "0");
  const int max = SliderMax();
  if (LeadingNumber(controls_.Text(ControlId::txtVolume)) > max) {
    SetText(ControlId::txtVolume, std::to_string(max));
  }
  SetSlider(RoundToInt32(LeadingNumber(controls_.Text(ControlId::txtVolume))));
}

void FrmOptions::txtVolume_KeyPress(std::int16_t keyAscii) {
  if (keyAscii == kEnterKey) txtVolume_LostFocus();
}

void FrmOptions::cmdApply_Click() {
  if (!loaded_) return;
  if (controls_.Value(ControlId::chkEnabled) == 0) {
    settings_.Enabled = false;
    if (msComm1_->PortOpen()) msComm1_->SetPortOpen(false);
    return;
  }
  // Checked before anything is written, so that a refused port leaves the
  // settings, the port and the dialog as they were.
  if (PortTextRefused()) return;
  const std::uint8_t port = *PortFromText();

  settings_.Enabled = true;
  if (controls_.Value(ControlId::optVolume)) {
    settings_.Action = kActionVolume;
  } else if (controls_.Value(ControlId::optPause)) {
    settings_.Action = kActionPause;
  } else if (controls_.Value(ControlId::optStop)) {
    settings_.Action = kActionStop;
  }
  settings_.Percent = controls_.Value(ControlId::chkPercent) != 0;
  settings_.Volume = NarrowToByte(controls_.Value(ControlId::sliVolume));
  settings_.Popup = controls_.Value(ControlId::chkMsg) != 0;
  if (msComm1_->PortOpen()) msComm1_->SetPortOpen(false);
  settings_.COMPort = port;

  const auto generation = generation_;
  if (ringWatch_) ringWatch_->InitModem();
  // The wait may have unloaded the dialog; then there is nothing to refresh.
  if (!StillLoaded(generation)) return;
  Form_Activate();
}

void FrmOptions::cmdOK_Click() {
  if (!loaded_) return;
  const bool applyPending = controls_.Enabled(ControlId::cmdApply);
  if (applyPending && controls_.Value(ControlId::chkEnabled) != 0 && PortTextRefused()) return;
  const auto generation = generation_;
  Hide();
  if (applyPending) {
    cmdApply_Click();
    if (!StillLoaded(generation)) return;
  }
  if (!settings_.Enabled) {
    Unload();
    return;
  }
  controls_.SetEnabled(ControlId::cmdApply, false);
}

void FrmOptions::cmdCancel_Click() {
  if (!loaded_) return;
  Hide();
  Form_Activate();
}

void FrmOptions::cmdAbout_Click() {
  messageBoxes_.Show(AboutText(), kProductName, ringwatch::kMbInformationOk);
}

void FrmOptions::MSComm1_OnComm() {
  if (ringWatch_) ringWatch_->MSComm1_OnComm();
}

void FrmOptions::tmrRING_Timer() {
  if (ringWatch_) ringWatch_->tmrRING_Timer();
}

void FrmOptions::tmrRetry_Timer() {
  if (ringWatch_) ringWatch_->tmrRetry_Timer();
}

void FrmOptions::OnCommEvent() noexcept {
  try {
    MSComm1_OnComm();
  } catch (...) {
    // A failure ends the event; the port keeps raising the next one.
  }
}

void FrmOptions::OnTimerEvent() noexcept {
  try {
    tmrRING_Timer();
  } catch (...) {
    // A failure ends the event.
  }
}

void FrmOptions::OnRetryEvent() noexcept {
  try {
    tmrRetry_Timer();
  } catch (...) {
    // A failure ends the event.
  }
}

// ---- The user's actions ----

void FrmOptions::EventAdapter::UserClicked(ControlId id) {
  try {
    if (!form_.loaded_ || !form_.controls_.EffectivelyEnabled(id)) return;
    switch (KindOf(id)) {
      case ControlKind::check:
        form_.SetCheck(id, form_.controls_.Value(id) == 0 ? 1 : 0);
        break;
      case ControlKind::option:
        form_.SelectOption(id);
        break;
      case ControlKind::button:
        switch (id) {
          case ControlId::cmdOK: form_.cmdOK_Click(); break;
          case ControlId::cmdCancel: form_.cmdCancel_Click(); break;
          case ControlId::cmdApply: form_.cmdApply_Click(); break;
          case ControlId::cmdAbout: form_.cmdAbout_Click(); break;
          default: break;
        }
        break;
      default:
        break;
    }
  } catch (...) {
    // A failure ends the handler it arose in.
  }
}

void FrmOptions::EventAdapter::UserChangedText(ControlId id, std::string_view text) {
  try {
    if (!form_.loaded_ || KindOf(id) != ControlKind::text) return;
    // The view already shows the text; writing it back would move the caret.
    if (form_.controls_.SetText(id, text, /*mirror=*/false)) form_.RaiseChanged(id);
  } catch (...) {
  }
}

void FrmOptions::EventAdapter::UserMovedSlider(int value) {
  try {
    if (!form_.loaded_) return;
    if (form_.controls_.SetValue(ControlId::sliVolume, value, /*mirror=*/false)) {
      form_.sliVolume_Change();
    }
  } catch (...) {
  }
}

void FrmOptions::EventAdapter::UserClickedSlider() {
  try {
    if (form_.loaded_) form_.sliVolume_Click();
  } catch (...) {
  }
}

void FrmOptions::EventAdapter::UserLeftText(ControlId id) {
  try {
    if (form_.loaded_ && id == ControlId::txtVolume) form_.txtVolume_LostFocus();
  } catch (...) {
  }
}

void FrmOptions::EventAdapter::UserTypedChar(ControlId id, std::int16_t code) {
  try {
    if (form_.loaded_ && id == ControlId::txtVolume) form_.txtVolume_KeyPress(code);
  } catch (...) {
  }
}

void FrmOptions::EventAdapter::UserClosed() {
  try {
    // Closing from the title bar drops the edits, as Cancel does.
    if (form_.loaded_) form_.cmdCancel_Click();
  } catch (...) {
  }
}

}  // namespace hushcall
