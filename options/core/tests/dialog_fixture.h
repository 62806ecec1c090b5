// A dialog wired to fakes, with the settings' defaults, for the FrmOptions
// tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "options/core/frm_options.h"
#include "options/core/tests/fake_ring_watch.h"
#include "options/core/tests/fake_view.h"
#include "settings/settings.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_components.h"
#include "tests/support/fake_message_boxes.h"
#include "tests/support/starting_settings.h"

namespace hushcall::testing {

class DialogTest : public ::testing::Test {
 protected:
  DialogTest() {
    SetStartingSettings(settings);
    form.SetRingWatch(&ring);
  }

  // Loads and shows the dialog; it stays shown once the scripted actions
  // (none by default) have run. The log starts empty afterwards.
  void Show() {
    form.ShowModal();
    log.clear();
  }

  DialogEvents& user() { return form.Events(); }
  const DialogControls& controls() const { return form.Controls(); }
  int value(ControlId id) const { return controls().Value(id); }
  const std::string& text(ControlId id) const { return controls().Text(id); }
  bool enabled(ControlId id) const { return controls().EffectivelyEnabled(id); }
  bool applyPending() const { return controls().Enabled(ControlId::cmdApply); }

  void typeText(ControlId id, std::string_view t) { user().UserChangedText(id, t); }

  bool logged(const std::string& entry) const {
    return std::find(log.begin(), log.end(), entry) != log.end();
  }
  // Position of an entry's first and last occurrence in the log, or -1.
  int at(const std::string& entry) const {
    auto it = std::find(log.begin(), log.end(), entry);
    return it == log.end() ? -1 : static_cast<int>(it - log.begin());
  }
  int last(const std::string& entry) const {
    auto it = std::find(log.rbegin(), log.rend(), entry);
    return it == log.rend() ? -1 : static_cast<int>(log.rend() - it) - 1;
  }

  CallLog log;
  Settings settings;
  FakeView view{log};
  FakeComponents components{log};
  FakeMessageBoxes boxes{log};
  FakeRingWatch ring{log};
  FrmOptions form{settings, view, components, boxes};
};

}  // namespace hushcall::testing
