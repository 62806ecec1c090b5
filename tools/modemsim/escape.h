// Byte escapes: the transcript writes line bytes as readable text, and the
// control FIFO's "send" takes C escapes for the bytes to send.
#pragma once

#include <string>
#include <string_view>

namespace hushcall::modemsim {

// CR as \r, LF as \n, every other byte outside printable ASCII and the
// backslash itself as \xNN (two upper-case hex digits). A space stays a
// space, so a transcript line splits on the first two spaces only.
std::string EscapeBytes(std::string_view bytes);

// Reads \r \n \t \\ \" \0 and \xN / \xNN; an unknown escape stands for the
// character after the backslash, and a lone trailing backslash for itself.
std::string UnescapeC(std::string_view text);

}  // namespace hushcall::modemsim
