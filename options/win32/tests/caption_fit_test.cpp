// Every caption of the real dialog fits its control, measured as the
// control draws it: in the control's own font, in the control's DC, with
// the & access key drawn as an underline. A caption cut at its right edge
// reads wrong, and only the font the system gives the dialog shows it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "options/win32/layout.h"
#include "options/win32/tests/view_fixture.h"

namespace hushcall::testing {
namespace {

struct Measured {
  SIZE caption;       // DrawText's extent of the caption
  int offset;         // where a check box or option button starts its text
  std::wstring face;  // the face the font was mapped to
};

Measured Measure(HWND control, const wchar_t* caption, int dpi) {
  Measured m{};
  HDC dc = ::GetDC(control);
  const auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
  HGDIOBJ old = ::SelectObject(dc, font);
  RECT r{0, 0, 10000, 1000};
  ::DrawTextW(dc, caption, -1, &r, DT_CALCRECT | DT_SINGLELINE);
  m.caption = {r.right - r.left, r.bottom - r.top};
  // A check box or option button draws its box 12 px (at 96 dpi) plus one
  // wide, then half a "0" of gap before its text.
  INT zero = 0;
  ::GetCharWidth32W(dc, L'0', L'0', &zero);
  m.offset = 12 * dpi / 96 + 1 + zero / 2;
  // The family of the font file drawn with, past any substitution of names.
  alignas(OUTLINETEXTMETRICW) char buffer[2048] = {};
  auto* outline = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer);
  if (::GetOutlineTextMetricsW(dc, sizeof buffer, outline)) {
    m.face = reinterpret_cast<const wchar_t*>(buffer + reinterpret_cast<UINT_PTR>(outline->otmpFamilyName));
  }
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return m;
}

// The width the control leaves for its caption, in pixels.
int Room(ControlClass kind, int width, const Measured& m, int dpi) {
  switch (kind) {
    case ControlClass::optionButton:
    case ControlClass::checkBox:
      return width - m.offset;
    case ControlClass::frame:
      return width - 2 * (8 * dpi / 96);  // the frame line's ends either side
    case ControlClass::commandButton:
      return width - 2 * (::GetSystemMetrics(SM_CXEDGE) + 1);  // the raised border
    default:
      return width;  // a label draws from its left edge
  }
}

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

TEST_F(ViewTest, DialogFontIsMsShellDlgEightPointMappedToTahoma) {
  const auto font = reinterpret_cast<HFONT>(::SendMessageW(Ctl(ControlId::chkPercent), WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  ASSERT_EQ(::GetObjectW(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
  EXPECT_STREQ(lf.lfFaceName, L"MS Shell Dlg");
  EXPECT_EQ(lf.lfHeight, -MulDiv(8, dpiY, 72));
  EXPECT_EQ(Measure(Ctl(ControlId::chkPercent), L"x", dpiX).face, L"Tahoma");
}

TEST_F(ViewTest, EveryCaptionFitsItsControlInItsOwnFont) {
  for (const ControlLayout& c : OptionsLayout()) {
    if (c.windowClass == ControlClass::textBox || c.windowClass == ControlClass::slider) continue;
    HWND control = Ctl(c.id);
    wchar_t caption[256] = {};
    ::GetWindowTextW(control, caption, 256);
    ASSERT_STREQ(caption, c.text);
    RECT client{};
    ::GetClientRect(control, &client);
    const Measured m = Measure(control, caption, dpiX);
    const int room = Room(c.windowClass, client.right, m, dpiX);
    EXPECT_LE(m.caption.cx, room) << '"' << Narrow(caption) << "\" in " << Narrow(m.face);
    // A group box draws its caption across its top line, outside its height.
    if (c.windowClass != ControlClass::frame) {
      EXPECT_LE(m.caption.cy, client.bottom) << '"' << Narrow(caption) << '"';
    }
  }
}

}  // namespace
}  // namespace hushcall::testing
