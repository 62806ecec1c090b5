// Key strokes by name, as hushctl sends them to a control.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace hushcall::hushctl {

struct KeyStroke {
  unsigned virtualKey = 0;  // for WM_KEYDOWN / WM_KEYUP
  wchar_t character = 0;     // for WM_CHAR; 0 when the key types nothing
  bool shift = false;
};

// "tab,enter,escape,left,right,up,down,home,end,pgup,pgdn,space,delete,
// backspace,shift+tab", or a single character ("a", "5"); nullopt on an
// unknown name.
std::optional<std::vector<KeyStroke>> ParseKeys(const std::wstring& list);

// Each character of `text` as a typed key.
std::vector<KeyStroke> KeysForText(const std::wstring& text);

}  // namespace hushcall::hushctl
