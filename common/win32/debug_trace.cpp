#include "common/win32/debug_trace.h"

#include <windows.h>

#include <cstdarg>
#include <cstddef>
#include <cstdio>

#include "common/win32/unix_clock.h"

namespace hushcall::win32 {

void DebugTrace(const char* format, ...) {
  char line[320];
  const long long ms = UnixMicroseconds() / 1000;
  const int stamp = std::snprintf(line, sizeof line, "Hushcall %lld: ", ms);
  if (stamp < 0) return;
  va_list args;
  va_start(args, format);
  const int text = std::vsnprintf(line + stamp, sizeof line - stamp - 1, format, args);
  va_end(args);
  if (text < 0) return;
  // One line each, also when cut short.
  std::size_t end = static_cast<std::size_t>(stamp) + static_cast<std::size_t>(text);
  if (end > sizeof line - 2) end = sizeof line - 2;
  line[end] = '\n';
  line[end + 1] = '\0';
  // The ANSI form: Wine's debugstr channel shows only that one.
  ::OutputDebugStringA(line);
}

}  // namespace hushcall::win32
