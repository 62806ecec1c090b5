// Wall-clock time in microseconds since 1970, on the same clock as the modem
// simulator's transcript, so that logs of both sides line up.
#pragma once

namespace hushcall::win32 {

long long UnixMicroseconds();

}  // namespace hushcall::win32
