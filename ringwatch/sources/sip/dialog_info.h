// The dialog event package's documents (RFC 4235, application/dialog-info
// +xml): which calls on the account are in which state. Read with expat.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hushcall::ringwatch {

struct DialogState {
  std::string callId;
  std::string state;  // trying, proceeding, early, confirmed or terminated
  bool operator==(const DialogState&) const = default;
};

// The dialogs of one document, in its order; those without a call-id are
// left out. Empty for a document that is not well-formed.
std::vector<DialogState> ReadDialogInfo(std::string_view document);

}  // namespace hushcall::ringwatch
