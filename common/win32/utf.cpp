#include "common/win32/utf.h"

#include <windows.h>

#include <limits>

namespace hushcall::win32 {

namespace {

template <class Text>
bool FitsInt(const Text& text) {
  return text.size() <= static_cast<std::size_t>(std::numeric_limits<int>::max());
}

}  // namespace

std::wstring WidenUtf8(std::string_view text) {
  if (text.empty() || !FitsInt(text)) return {};
  const int size = static_cast<int>(text.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), n);
  return wide;
}

std::string NarrowToUtf8(std::wstring_view text) {
  if (text.empty() || !FitsInt(text)) return {};
  const int size = static_cast<int>(text.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string narrow(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), n, nullptr, nullptr);
  return narrow;
}

}  // namespace hushcall::win32
