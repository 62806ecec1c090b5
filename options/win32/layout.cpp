#include "options/win32/layout.h"

#include <array>

#include "common/status.h"

namespace hushcall {
namespace {

using enum ControlId;
using K = ControlClass;

constexpr std::array<ControlLayout, kControlCount> kLayout{{
    {cmdOK, K::commandButton, std::nullopt, L"&OK", nullptr, {1200, 2760, 1095, 375}, true, 0},
    {cmdCancel, K::commandButton, std::nullopt, L"&Cancel", nullptr, {2400, 2760, 1095, 375}, true, 0},
    {cmdApply, K::commandButton, std::nullopt, L"&Apply", nullptr, {3600, 2760, 1095, 375}, false, 0},
    {fraOptions, K::frame, std::nullopt, L"Action to take on ring", nullptr, {120, 120, 5775, 2535}, true, 0},
    {optVolume, K::optionButton, fraOptions, L"&Lower Volume",
     L"Lowers Winamp's volume when the phone rings", {240, 480, 1455, 255}, true, 1},
    {optPause, K::optionButton, fraOptions, L"&Pause Winamp", L"Pauses Winamp when the phone rings",
     {240, 960, 1455, 255}, true, 0},
    {optStop, K::optionButton, fraOptions, L"&Stop Winamp", L"Stops Winamp when the phone rings",
     {240, 1440, 1455, 255}, true, 0},
    // Lower Volume is selected, yet the frame starts disabled: the first
    // refresh sets it from the stored action.
    {fraVolume, K::frame, fraOptions, L"Volume Options", nullptr, {1800, 240, 3735, 1575}, false, 0},
    {sliVolume, K::slider, fraVolume, L"", nullptr, {120, 600, 3495, 255}, false, 0},
    {Label1, K::label, fraVolume, L"Volume to Change to:", nullptr, {240, 360, 1815, 255}, false, 0},
    {txtVolume, K::textBox, fraVolume, L"0", L"Volume to change to", {240, 960, 615, 285}, false, 0},
    // Three captions are wider than their original boxes in Tahoma 8 pt as
    // Wine draws it (caption_fit_test): those boxes grow to the right, into
    // free space, and no control moves.
    {chkPercent, K::checkBox, fraVolume, L"Pe&rcent of current volume",
     L"Change volume to percentage of the current volume", {1200, 960, 2295, 255}, false, 0},
    {Label2, K::label, fraOptions, L"Modem COM Port:", nullptr, {240, 2040, 1395, 255}, true, 0},
    {txtCOMPort, K::textBox, fraOptions, L"1", L"COM port your modem is on", {1680, 2040, 375, 285}, true, 0},
    {chkMsg, K::checkBox, fraOptions, L"&Popup message on ring", L"Displays a message when the phone rings",
     {2400, 2040, 2175, 255}, true, 0},
    {chkEnabled, K::checkBox, std::nullopt, L"&Enabled", L"Check to enable Hushcall", {120, 2760, 975, 255},
     true, 1},
    {cmdAbout, K::commandButton, std::nullopt, L"A&bout", nullptr, {4800, 2760, 1095, 375}, true, 0},
}};

}  // namespace

std::span<const ControlLayout> OptionsLayout() { return kLayout; }

const ControlLayout& LayoutOf(ControlId id) {
  for (const auto& c : kLayout) {
    if (c.id == id) return c;
  }
  Fail(kInvalidArg);  // no control of the table: a caller's mistake
}

int TwipsToPixels(int twips, int dpi) {
  // Rounded half away from zero, as MulDiv does.
  long long product = static_cast<long long>(twips) * dpi;
  return static_cast<int>(product >= 0 ? (product + 720) / 1440 : -((-product + 720) / 1440));
}

PixelRect ClientPixels(ControlId id, int dpiX, int dpiY) {
  const ControlLayout& c = LayoutOf(id);
  PixelRect r{TwipsToPixels(c.place.left, dpiX), TwipsToPixels(c.place.top, dpiY),
              TwipsToPixels(c.place.width, dpiX), TwipsToPixels(c.place.height, dpiY)};
  if (c.container) {
    PixelRect outer = ClientPixels(*c.container, dpiX, dpiY);
    r.left += outer.left;
    r.top += outer.top;
  }
  return r;
}

}  // namespace hushcall
