// The options dialog as a Win32 window: a dialog-class window built in code
// whose controls mirror the model's state and report the user's actions.
#pragma once

#include <windows.h>

#include <array>
#include <functional>

#include "common/win32/unique.h"
#include "options/core/dialog_view.h"

namespace hushcall {

class Win32DialogView final : public DialogView {
 public:
  explicit Win32DialogView(HINSTANCE instance = ::GetModuleHandleW(nullptr));
  ~Win32DialogView() override;
  Win32DialogView(const Win32DialogView&) = delete;
  Win32DialogView& operator=(const Win32DialogView&) = delete;

  // Throws Failure when the window or a control can't be created.
  void Create(DialogEvents& events) override;
  void Destroy() override;
  bool Created() const override;
  void Centre() override;
  void RunModal(const std::function<bool()>& keepShowing) override;
  void Hide() override;
  bool Visible() const override;
  void SetTopmost(bool topmost) override;
  std::int32_t WindowHandle() const override;

  void ShowChecked(ControlId id, int value) override;
  void ShowText(ControlId id, std::string_view text) override;
  void ShowEnabled(ControlId id, bool enabled) override;
  void ShowSlider(int value) override;
  int SliderMax() const override;
  void FocusAndSelectAll(ControlId id) override;

  HWND Window() const { return dialog_.get(); }
  // The owner of a message box shown now: the dialog while it is on screen
  // (the box stands above it, and it takes no input until answered), else
  // none, so that the box neither hides with a minimised player nor locks
  // the player's window.
  HWND BoxOwner() const { return Visible() ? dialog_.get() : nullptr; }
  HWND Control(ControlId id) const;
  // The hidden window that owns the dialog, so that it has no taskbar button.
  HWND Owner() const { return owner_.get(); }
  HWND ToolTips() const { return toolTips_; }

 private:
  // Before the controls they subclass: see the definition.
  void DestroyToolTips();
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR subclassId, DWORD_PTR self);

  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();                                      // builds the controls
  bool OnCommand(int windowId, int code, HWND control);     // button and edit notifications
  void OnHScroll(HWND control);                             // the slider moved
  LRESULT OnControlMessage(HWND control, ControlId id, UINT message, WPARAM wParam, LPARAM lParam);

  void CreateControls();
  void AddToolTip(HWND control, const wchar_t* text);
  void SizeClientArea();
  // Keeps the Tab key landing on the selected option button.
  void MoveOptionTabStop();
  bool FindControl(HWND window, ControlId* id) const;

  HINSTANCE instance_;
  DialogEvents* events_ = nullptr;
  win32::unique_hwnd owner_;
  win32::unique_hwnd dialog_;  // released, not destroyed, once the window is gone
  // The controls go with the dialog, the tool tip window with the owner.
  HWND toolTips_ = nullptr;
  std::array<HWND, kControlCount> controls_{};
  int dpiX_ = 96;
  int dpiY_ = 96;
  int mirroring_ = 0;  // >0 while ShowText sets a text: its EN_CHANGE is not the user's
};

}  // namespace hushcall
