#include "plugin/win32/decimal_separator.h"

#include <windows.h>

#include "common/win32/utf.h"

namespace hushcall::win32 {

std::string UserDecimalSeparator() {
  wchar_t buffer[8] = {};  // the locale allows at most three characters
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8) == 0) return ".";
  return NarrowToUtf8(buffer);
}

}  // namespace hushcall::win32
