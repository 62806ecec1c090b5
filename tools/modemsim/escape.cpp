#include "tools/modemsim/escape.h"

#include <cctype>

namespace hushcall::modemsim {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string EscapeBytes(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (b < 0x20 || b >= 0x7F || c == '\\') {
      out += "\\x";
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 0xF]);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string UnescapeC(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out.push_back(text[i]);
      continue;
    }
    const char e = text[++i];
    switch (e) {
      case 'r': out.push_back('\r'); break;
      case 'n': out.push_back('\n'); break;
      case 't': out.push_back('\t'); break;
      case '0': out.push_back('\0'); break;
      case 'x': {
        int value = 0;
        int digits = 0;
        while (digits < 2 && i + 1 < text.size() && HexValue(text[i + 1]) >= 0) {
          value = value * 16 + HexValue(text[++i]);
          ++digits;
        }
        if (digits == 0) {
          out += "\\x";  // not an escape after all
        } else {
          out.push_back(static_cast<char>(value));
        }
        break;
      }
      default: out.push_back(e); break;
    }
  }
  return out;
}

}  // namespace hushcall::modemsim
