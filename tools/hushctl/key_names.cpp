#include "tools/hushctl/key_names.h"

#include <windows.h>

#include <cwctype>

namespace hushcall::hushctl {

namespace {

struct Named {
  const wchar_t* name;
  unsigned vk;
  wchar_t character;
};

// Keys that type a character also send WM_CHAR, as TranslateMessage would.
constexpr Named kNamedKeys[] = {
    {L"tab", VK_TAB, L'\t'},      {L"enter", VK_RETURN, L'\r'}, {L"escape", VK_ESCAPE, 0x1B},
    {L"esc", VK_ESCAPE, 0x1B},    {L"space", VK_SPACE, L' '},   {L"backspace", VK_BACK, 0x08},
    {L"left", VK_LEFT, 0},        {L"right", VK_RIGHT, 0},      {L"up", VK_UP, 0},
    {L"down", VK_DOWN, 0},        {L"home", VK_HOME, 0},        {L"end", VK_END, 0},
    {L"pgup", VK_PRIOR, 0},       {L"pgdn", VK_NEXT, 0},        {L"delete", VK_DELETE, 0},
};

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

std::optional<KeyStroke> ParseOne(std::wstring token) {
  KeyStroke key;
  std::wstring lower = Lower(token);
  if (lower.rfind(L"shift+", 0) == 0) {
    key.shift = true;
    token = token.substr(6);
    lower = lower.substr(6);
  }
  for (const Named& named : kNamedKeys) {
    if (lower == named.name) {
      key.virtualKey = named.vk;
      key.character = named.character;
      return key;
    }
  }
  if (token.size() == 1) {
    std::vector<KeyStroke> typed = KeysForText(token);
    typed[0].shift = typed[0].shift || key.shift;
    return typed[0];
  }
  return std::nullopt;
}

}  // namespace

std::vector<KeyStroke> KeysForText(const std::wstring& text) {
  std::vector<KeyStroke> keys;
  for (wchar_t c : text) {
    KeyStroke key;
    key.character = c;
    SHORT scan = ::VkKeyScanW(c);
    key.virtualKey = scan == -1 ? 0 : LOBYTE(scan);
    key.shift = scan != -1 && (HIBYTE(scan) & 1);
    keys.push_back(key);
  }
  return keys;
}

std::optional<std::vector<KeyStroke>> ParseKeys(const std::wstring& list) {
  std::vector<KeyStroke> keys;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(L',', start);
    std::wstring token = list.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
    if (token.empty()) return std::nullopt;
    auto key = ParseOne(token);
    if (!key) return std::nullopt;
    keys.push_back(*key);
    if (comma == std::wstring::npos) break;
    start = comma + 1;
  }
  return keys;
}

}  // namespace hushcall::hushctl
