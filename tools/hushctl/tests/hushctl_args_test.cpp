#include <gtest/gtest.h>
#include <windows.h>

#include "tools/hushctl/arguments.h"
#include "tools/hushctl/key_names.h"

namespace hushcall::hushctl {
namespace {

TEST(HushctlArguments, ActionThenNamedOptions) {
  ParsedArguments p = ParseArguments({L"click", L"--class", L"#32770", L"--title", L"Hushcall Options", L"--id", L"0x3F2"});
  ASSERT_TRUE(p.error.empty());
  EXPECT_EQ(p.args.action, L"click");
  EXPECT_EQ(p.args.Get(L"class"), L"#32770");
  EXPECT_EQ(p.args.Get(L"title"), L"Hushcall Options");
  EXPECT_EQ(ParseNumber(*p.args.Get(L"id")), 0x3F2);
  EXPECT_FALSE(p.args.Has(L"text"));
}

TEST(HushctlArguments, AnEmptyValueIsKeptForSetText) {
  // Clearing a text box is a real test step.
  ParsedArguments p = ParseArguments({L"set-text", L"--id", L"5", L"--value", L""});
  ASSERT_TRUE(p.error.empty());
  EXPECT_EQ(p.args.Get(L"value"), L"");
}

TEST(HushctlArguments, MalformedCommandLinesAreRejected) {
  const std::vector<std::vector<std::wstring>> cases = {
      {}, {L"wait", L"--class"}, {L"wait", L"class", L"x"}, {L"wait", L"--", L"x"}};
  for (const auto& argv : cases) EXPECT_FALSE(ParseArguments(argv).error.empty());
}

TEST(HushctlArguments, NumbersAreDecimalOrHex) {
  EXPECT_EQ(ParseNumber(L"41000"), 41000);
  EXPECT_EQ(ParseNumber(L"0xFFFF"), 0xFFFF);
  EXPECT_EQ(ParseNumber(L"-666"), -666);
  EXPECT_FALSE(ParseNumber(L""));
  EXPECT_FALSE(ParseNumber(L"12ab"));
  EXPECT_FALSE(ParseNumber(L"ok"));
}

TEST(HushctlKeys, NamedKeysCarryTheirCharacterOnlyWhenTheyTypeOne) {
  struct Case { const wchar_t* name; unsigned vk; wchar_t ch; };
  const Case cases[] = {{L"tab", VK_TAB, L'\t'},     {L"enter", VK_RETURN, L'\r'},
                        {L"escape", VK_ESCAPE, 0x1B}, {L"right", VK_RIGHT, 0},
                        {L"left", VK_LEFT, 0},        {L"pgdn", VK_NEXT, 0},
                        {L"Home", VK_HOME, 0},        {L"backspace", VK_BACK, 0x08}};
  for (const Case& c : cases) {
    auto keys = ParseKeys(c.name);
    ASSERT_TRUE(keys) << c.name;
    ASSERT_EQ(keys->size(), 1u);
    EXPECT_EQ((*keys)[0].virtualKey, c.vk) << c.name;
    EXPECT_EQ((*keys)[0].character, c.ch) << c.name;
    EXPECT_FALSE((*keys)[0].shift);
  }
}

TEST(HushctlKeys, ListsKeepTheirOrderAndShiftApplies) {
  auto keys = ParseKeys(L"shift+tab,7,enter");
  ASSERT_TRUE(keys);
  ASSERT_EQ(keys->size(), 3u);
  EXPECT_EQ((*keys)[0].virtualKey, static_cast<unsigned>(VK_TAB));
  EXPECT_TRUE((*keys)[0].shift);
  EXPECT_EQ((*keys)[1].character, L'7');
  EXPECT_EQ((*keys)[1].virtualKey, static_cast<unsigned>('7'));
  EXPECT_EQ((*keys)[2].virtualKey, static_cast<unsigned>(VK_RETURN));
}

TEST(HushctlKeys, UnknownNamesAndEmptyItemsAreRejected) {
  for (const wchar_t* list : {L"", L"tab,,enter", L"tabulator", L"enter,"})
    EXPECT_FALSE(ParseKeys(list)) << list;
}

TEST(HushctlKeys, TextBecomesOneTypedKeyPerCharacter) {
  auto keys = KeysForText(L"45");
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].character, L'4');
  EXPECT_EQ(keys[1].character, L'5');
}

}  // namespace
}  // namespace hushcall::hushctl
