// Diagnostic lines for a debugger (OutputDebugString), each stamped with the
// wall clock in milliseconds, so that they line up with the player's log and
// the modem simulator's transcript. Under Wine they appear on the debugstr
// channel (WINEDEBUG=+debugstr). Nobody listening costs next to nothing.
#pragma once

namespace hushcall::win32 {

// printf-style; the line is cut at a few hundred characters.
void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace hushcall::win32
