#include "options/core/control_states.h"

namespace hushcall {

namespace {

constexpr std::array<ControlId, 3> kOptionGroup = {ControlId::optVolume, ControlId::optPause,
                                                   ControlId::optStop};

constexpr ControlId kAll[kControlCount] = {
    ControlId::fraOptions, ControlId::optVolume,  ControlId::optPause,  ControlId::optStop,
    ControlId::fraVolume,  ControlId::Label1,     ControlId::sliVolume, ControlId::txtVolume,
    ControlId::chkPercent, ControlId::Label2,     ControlId::txtCOMPort, ControlId::chkMsg,
    ControlId::chkEnabled, ControlId::cmdOK,      ControlId::cmdCancel, ControlId::cmdApply,
    ControlId::cmdAbout,
};

bool Inside(ControlId id, ControlId frame) {
  for (auto c = ContainerOf(id); c; c = ContainerOf(*c)) {
    if (*c == frame) return true;
  }
  return false;
}

}  // namespace

ControlKind KindOf(ControlId id) {
  switch (id) {
    case ControlId::fraOptions:
    case ControlId::fraVolume:
      return ControlKind::frame;
    case ControlId::optVolume:
    case ControlId::optPause:
    case ControlId::optStop:
      return ControlKind::option;
    case ControlId::chkPercent:
    case ControlId::chkMsg:
    case ControlId::chkEnabled:
      return ControlKind::check;
    case ControlId::sliVolume:
      return ControlKind::slider;
    case ControlId::txtVolume:
    case ControlId::txtCOMPort:
      return ControlKind::text;
    case ControlId::Label1:
    case ControlId::Label2:
      return ControlKind::label;
    case ControlId::cmdOK:
    case ControlId::cmdCancel:
    case ControlId::cmdApply:
    case ControlId::cmdAbout:
      return ControlKind::button;
  }
  return ControlKind::label;
}

std::optional<ControlId> ContainerOf(ControlId id) {
  switch (id) {
    case ControlId::optVolume:
    case ControlId::optPause:
    case ControlId::optStop:
    case ControlId::fraVolume:
    case ControlId::Label2:
    case ControlId::txtCOMPort:
    case ControlId::chkMsg:
      return ControlId::fraOptions;
    case ControlId::Label1:
    case ControlId::sliVolume:
    case ControlId::txtVolume:
    case ControlId::chkPercent:
      return ControlId::fraVolume;
    default:
      return std::nullopt;
  }
}

void DialogControls::Reset() {
  for (Control& c : controls_) c = Control{};
  at(ControlId::optVolume).value = 1;
  at(ControlId::fraVolume).enabled = false;
  at(ControlId::sliVolume).value = 0;
  at(ControlId::txtVolume).text = std::string(1, '0');
  at(ControlId::txtCOMPort).text = std::string(1, '1');
  at(ControlId::chkEnabled).value = 1;
  at(ControlId::cmdApply).enabled = false;
}

void DialogControls::ShowAll() {
  if (!Mirroring()) return;
  for (ControlId id : kAll) {
    ShowValue(id);
    if (KindOf(id) == ControlKind::text) view_.ShowText(id, Text(id));
    view_.ShowEnabled(id, EffectivelyEnabled(id));
  }
}

bool DialogControls::EffectivelyEnabled(ControlId id) const {
  if (!Enabled(id)) return false;
  auto container = ContainerOf(id);
  return !container || EffectivelyEnabled(*container);
}

bool DialogControls::SetValue(ControlId id, int value, bool mirror) {
  if (Value(id) == value) return false;
  at(id).value = value;
  if (mirror && Mirroring()) ShowValue(id);
  return true;
}

bool DialogControls::SetText(ControlId id, std::string_view text, bool mirror) {
  if (Text(id) == text) return false;
  at(id).text = text;
  if (mirror && Mirroring()) view_.ShowText(id, text);
  return true;
}

bool DialogControls::Select(ControlId option) {
  for (ControlId other : kOptionGroup) {
    if (other != option) SetValue(other, 0);
  }
  return SetValue(option, 1);
}

void DialogControls::SetEnabled(ControlId id, bool enabled) {
  std::array<bool, kControlCount> before{};
  for (ControlId c : kAll) before[static_cast<int>(c)] = EffectivelyEnabled(c);
  at(id).enabled = enabled;
  if (!Mirroring()) return;
  for (ControlId c : kAll) {
    if (c != id && !Inside(c, id)) continue;
    bool now = EffectivelyEnabled(c);
    if (now != before[static_cast<int>(c)]) view_.ShowEnabled(c, now);
  }
}

void DialogControls::ShowValue(ControlId id) {
  switch (KindOf(id)) {
    case ControlKind::check:
    case ControlKind::option:
      view_.ShowChecked(id, Value(id));
      break;
    case ControlKind::slider:
      view_.ShowSlider(Value(id));
      break;
    default:
      break;
  }
}

}  // namespace hushcall
