#include "options/core/dialog_texts.h"

namespace hushcall {

std::string AboutText() {
  std::string text;
  for (std::string_view line : kAboutLines) {
    if (!text.empty()) text += kAboutLineBreak;
    text += line;
  }
  return text;
}

}  // namespace hushcall
