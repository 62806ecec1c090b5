// An errno value carried as a Status, so that a Failure thrown by the POSIX
// seams still says which system error it was. The status has the severity
// and customer bits set: it can never be taken for a Win32 error code.
#pragma once

#include <cerrno>
#include <cstdint>

#include "common/status.h"

namespace hushcall::ringwatch {

inline constexpr std::uint32_t kErrnoStatusBase = 0xA0490000u;  // severity | customer | "I"

constexpr Status StatusFromErrno(int error) {
  if (error <= 0 || error > 0xFFFF) return kFail;
  return static_cast<Status>(kErrnoStatusBase | static_cast<std::uint32_t>(error));
}

// The errno value a status carries; 0 for a status that carries none.
constexpr int ErrnoFromStatus(Status status) {
  const auto bits = static_cast<std::uint32_t>(status);
  return (bits & 0xFFFF0000u) == kErrnoStatusBase ? static_cast<int>(bits & 0xFFFFu) : 0;
}

// Throws Failure carrying the calling thread's errno.
[[noreturn]] inline void FailWithErrno() { Fail(StatusFromErrno(errno)); }

}  // namespace hushcall::ringwatch
