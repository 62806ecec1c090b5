// The options dialog's own message texts.
#pragma once

#include <string>
#include <string_view>

namespace hushcall {

// The About box's four lines; shown joined by a line feed and a carriage
// return, with nothing after the last.
inline constexpr std::string_view kAboutLines[] = {
    "Hushcall by the Hushcall developers.",
    "Thanks to the Winamp general plug-in wrapper through which Hushcall is loaded.",
    "Thanks also to the program that helped translate Winamp's declarations.",
    "Please report any crash with the error message, what you were doing and your modem model.",
};
inline constexpr std::string_view kAboutLineBreak = "\n\r";

std::string AboutText();

inline constexpr std::string_view kPortRangeText = "The COM port must be a number from 0 to 255.";

}  // namespace hushcall
