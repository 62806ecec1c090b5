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

inline constexpr int kIdFraOptions = ControlWindowId(ControlId::fraOptions);  // 1001
inline constexpr int kIdOptVolume = ControlWindowId(ControlId::optVolume);    // 1002
inline constexpr int kIdOptPause = ControlWindowId(ControlId::optPause);      // 1003
inline constexpr int kIdOptStop = ControlWindowId(ControlId::optStop);        // 1004
inline constexpr int kIdFraVolume = ControlWindowId(ControlId::fraVolume);    // 1005
inline constexpr int kIdLabel1 = ControlWindowId(ControlId::Label1);          // 1006
inline constexpr int kIdSliVolume = ControlWindowId(ControlId::sliVolume);    // 1007
inline constexpr int kIdTxtVolume = ControlWindowId(ControlId::txtVolume);    // 1008
inline constexpr int kIdChkPercent = ControlWindowId(ControlId::chkPercent);  // 1009
inline constexpr int kIdLabel2 = ControlWindowId(ControlId::Label2);          // 1010
inline constexpr int kIdTxtCOMPort = ControlWindowId(ControlId::txtCOMPort);  // 1011
inline constexpr int kIdChkMsg = ControlWindowId(ControlId::chkMsg);          // 1012
inline constexpr int kIdChkEnabled = ControlWindowId(ControlId::chkEnabled);  // 1013
inline constexpr int kIdCmdOK = ControlWindowId(ControlId::cmdOK);            // 1014
inline constexpr int kIdCmdCancel = ControlWindowId(ControlId::cmdCancel);    // 1015
inline constexpr int kIdCmdApply = ControlWindowId(ControlId::cmdApply);      // 1016
inline constexpr int kIdCmdAbout = ControlWindowId(ControlId::cmdAbout);      // 1017

static_assert(kIdCmdAbout == 1017, "published ids must not move");

// The dialog's caption; its window class is the system dialog class "#32770".
inline constexpr wchar_t kOptionsDialogCaption[] = L"Hushcall Options";

}  // namespace hushcall
