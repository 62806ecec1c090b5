// Dialog-info documents as presence servers send them, and rubbish.
#include "ringwatch/sources/sip/dialog_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hushcall::ringwatch {
namespace {

using Dialogs = std::vector<DialogState>;

TEST(DialogInfo, EachDialogsCallIdAndStateAreRead) {
  const std::string document =
      "<?xml version=\"1.0\"?>\n"
      "<dialog-info xmlns=\"urn:ietf:params:xml:ns:dialog-info\" version=\"3\" state=\"full\" "
      "entity=\"sip:604@example.test\">\n"
      "  <dialog id=\"a\" call-id=\"c1@pbx\" direction=\"recipient\">\n"
      "    <state>confirmed</state>\n"
      "    <remote><identity>sip:202@example.test</identity><target uri=\"sip:x\"/></remote>\n"
      "  </dialog>\n"
      "  <dialog id=\"b\" call-id=\"c2@pbx\"><state event=\"cancelled\"> terminated </state>"
      "</dialog>\n"
      "  <dialog id=\"no call-id\"><state>early</state></dialog>\n"
      "</dialog-info>\n";
  EXPECT_EQ(ReadDialogInfo(document),
            (Dialogs{{"c1@pbx", "confirmed"}, {"c2@pbx", "terminated"}}));
  // Prefixed, as some servers write it.
  EXPECT_EQ(ReadDialogInfo("<d:dialog-info xmlns:d=\"urn:ietf:params:xml:ns:dialog-info\">"
                           "<d:dialog call-id=\"c3\"><d:state>trying</d:state></d:dialog>"
                           "</d:dialog-info>"),
            (Dialogs{{"c3", "trying"}}));
  EXPECT_EQ(ReadDialogInfo("<dialog-info/>"), Dialogs{});
}

TEST(DialogInfo, ADocumentThatIsNotWellFormedGivesNothing) {
  const std::vector<std::string> bad = {
      "", "<dialog-info><dialog call-id=\"c1\"><state>terminated", "garbage",
      std::string("<a>\0</a>", 8), "<!DOCTYPE x [<!ENTITY a \"aaaa\">]><x>&a;&b;</x>"};
  for (const std::string& document : bad) {
    EXPECT_EQ(ReadDialogInfo(document), Dialogs{}) << document;
  }
}

}  // namespace
}  // namespace hushcall::ringwatch
