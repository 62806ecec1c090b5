// Reading dialog-info documents with expat's streaming parser.
#include "ringwatch/sources/sip/dialog_info.h"

#include <expat.h>

#include <cstring>
#include <memory>

namespace hushcall::ringwatch {
namespace {

// An element's local name: namespaces are not expanded, so a prefix may
// stand before it.
std::string_view LocalName(const XML_Char* name) {
  std::string_view text(name);
  const std::size_t colon = text.rfind(':');
  return colon == std::string_view::npos ? text : text.substr(colon + 1);
}

// expat calls these through C: bad_alloc ends the process here.
struct Reading {
  std::vector<DialogState> dialogs;
  bool inDialog = false;
  bool inState = false;
  DialogState current;
};

void Start(void* data, const XML_Char* name, const XML_Char** attributes) noexcept {
  auto* reading = static_cast<Reading*>(data);
  const std::string_view element = LocalName(name);
  if (element == "dialog") {
    reading->inDialog = true;
    reading->current = {};
    for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
      if (std::strcmp(a[0], "call-id") == 0) reading->current.callId = a[1];
    }
  } else if (element == "state" && reading->inDialog) {
    reading->inState = true;
  }
}

void End(void* data, const XML_Char* name) noexcept {
  auto* reading = static_cast<Reading*>(data);
  const std::string_view element = LocalName(name);
  if (element == "state") {
    reading->inState = false;
  } else if (element == "dialog" && reading->inDialog) {
    reading->inDialog = false;
    if (!reading->current.callId.empty()) reading->dialogs.push_back(reading->current);
  }
}

void Text(void* data, const XML_Char* text, int length) noexcept {
  auto* reading = static_cast<Reading*>(data);
  if (!reading->inState) return;
  for (int i = 0; i < length; ++i) {
    if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n') {
      reading->current.state.push_back(text[i]);
    }
  }
}

struct ParserFree {
  void operator()(XML_Parser parser) const { ::XML_ParserFree(parser); }
};

}  // namespace

std::vector<DialogState> ReadDialogInfo(std::string_view document) {
  const std::unique_ptr<XML_ParserStruct, ParserFree> parser(::XML_ParserCreate(nullptr));
  if (!parser) return {};
  Reading reading;
  ::XML_SetUserData(parser.get(), &reading);
  ::XML_SetElementHandler(parser.get(), Start, End);
  ::XML_SetCharacterDataHandler(parser.get(), Text);
  if (document.size() > static_cast<std::size_t>(INT32_MAX) ||
      ::XML_Parse(parser.get(), document.data(), static_cast<int>(document.size()), 1) !=
          XML_STATUS_OK) {
    return {};
  }
  return reading.dialogs;
}

}  // namespace hushcall::ringwatch
