// Shows the options dialog as a refresh with the default settings and the
// plug-in enabled leaves it, for a few seconds, and prints its screen
// rectangle (left top width height) so a script can photograph it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "options/win32/win32_dialog_view.h"

namespace {

class IgnoredEvents : public hushcall::DialogEvents {
 public:
  void UserClicked(hushcall::ControlId) override {}
  void UserChangedText(hushcall::ControlId, std::string_view) override {}
  void UserMovedSlider(int) override {}
  void UserClickedSlider() override {}
  void UserLeftText(hushcall::ControlId) override {}
  void UserTypedChar(hushcall::ControlId, std::int16_t) override {}
  void UserClosed() override {}
};

}  // namespace

int main(int argc, char** argv) {
  using enum hushcall::ControlId;
  const DWORD showMs = argc > 1 ? static_cast<DWORD>(std::atoi(argv[1])) : 4000;
  IgnoredEvents events;
  hushcall::Win32DialogView view;
  view.Create(events);
  view.Centre();
  for (auto id : {fraVolume, Label1, sliVolume, txtVolume, chkPercent}) view.ShowEnabled(id, true);
  view.ShowSlider(50);
  view.ShowText(txtVolume, "50%");
  view.ShowEnabled(cmdApply, false);
  view.SetTopmost(true);

  RECT r{};
  ::GetWindowRect(view.Window(), &r);
  std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  std::fflush(stdout);

  const DWORD start = ::GetTickCount();
  UINT_PTR timer = ::SetTimer(nullptr, 0, 100, nullptr);
  view.RunModal([&] { return ::GetTickCount() - start < showMs; });
  ::KillTimer(nullptr, timer);
  return 0;
}
