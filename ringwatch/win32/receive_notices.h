// What the serial reader thread tells the user-interface thread, and when
// the control raises OnComm for it. Notices add up as flags while one
// notification is on its way.
#pragma once

#include <cstddef>

namespace hushcall::ringwatch {

using ReceiveNotices = unsigned;
// A line end arrived, or the line was quiet three character times.
inline constexpr ReceiveNotices kArrivalNotice = 1;
// The line has been quiet long enough that characters below the threshold
// are raised too: the last piece of a split report must not wait for the
// next report's bytes.
inline constexpr ReceiveNotices kTailNotice = 2;
// A read failed: the line is gone.
inline constexpr ReceiveNotices kLossNotice = 4;

// Whether `notices` raise OnComm for the `waiting` characters. An arrival
// needs the threshold; a tail raises only what the threshold held back, so
// that characters already raised and left unread are not raised again; a
// lost line hands out whatever is left before the loss itself is raised.
// A threshold of 0 raises nothing.
bool RaisesForCharacters(ReceiveNotices notices, std::size_t waiting, int threshold);

}  // namespace hushcall::ringwatch
