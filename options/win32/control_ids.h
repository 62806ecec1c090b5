// The options dialog's child-window ids, for GetDlgItem. They are stable:
// the end-to-end tests drive the dialog of a running player by these ids.
#pragma once

#include "options/core/dialog_view.h"

namespace hushcall {

// The id of a control is kFirstControlWindowId plus its ControlId ordinal.
// None of them is IDOK (1) or IDCANCEL (2): the dialog manager sends those
// for Enter and Escape, and the dialog decides what they press.
inline constexpr int kFirstControlWindowId = 1001;

constexpr int ControlWindowId(ControlId id) {
  return kFirstControlWindowId + static_cast<int>(id);
}

static_assert(ControlWindowId(ControlId::cmdAbout) == 1017, "published ids must not move");

// The dialog's caption; its window class is the system dialog class "#32770".
inline constexpr wchar_t kOptionsDialogCaption[] = L"Hushcall Options";

}  // namespace hushcall
