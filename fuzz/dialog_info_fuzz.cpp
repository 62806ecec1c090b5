// Dialog-info documents as any registrar or stranger on the network may
// send them: whatever the bytes, each dialog read has a call-id and a state
// without white space, and the dialogs written back as a document of their
// own read back the same.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/sources/sip/dialog_info.h"

namespace {

using hushcall::ringwatch::DialogState;

void Check(bool ok) {
  if (!ok) std::abort();
}

// Text as XML writes it in an attribute or an element, control characters
// by reference so that they are not normalised away.
std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char reference[8];
          std::snprintf(reference, sizeof reference, "&#%d;", c);
          out += reference;
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string Document(const std::vector<DialogState>& dialogs) {
  std::string out = "<dialog-info xmlns=\"urn:ietf:params:xml:ns:dialog-info\">";
  for (const DialogState& dialog : dialogs) {
    out += "<dialog call-id=\"" + Escaped(dialog.callId) + "\"><state>" + Escaped(dialog.state) +
           "</state></dialog>";
  }
  return out + "</dialog-info>";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view document(reinterpret_cast<const char*>(data), size);
  const std::vector<DialogState> dialogs = hushcall::ringwatch::ReadDialogInfo(document);
  for (const DialogState& dialog : dialogs) {
    Check(!dialog.callId.empty());
    Check(dialog.state.find_first_of(" \t\r\n") == std::string::npos);
  }
  Check(hushcall::ringwatch::ReadDialogInfo(Document(dialogs)) == dialogs);
  return 0;
}
