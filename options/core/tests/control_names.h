// The controls' names as the dialog's code spells them, for logs and traces.
#pragma once

#include <string>

#include "options/core/dialog_view.h"

namespace hushcall::testing {

inline std::string Name(ControlId id) {
  static const char* const kNames[kControlCount] = {
      "fraOptions", "optVolume", "optPause",   "optStop",  "fraVolume", "Label1",
      "sliVolume",  "txtVolume", "chkPercent", "Label2",   "txtCOMPort", "chkMsg",
      "chkEnabled", "cmdOK",     "cmdCancel",  "cmdApply", "cmdAbout"};
  return kNames[static_cast<int>(id)];
}

}  // namespace hushcall::testing
