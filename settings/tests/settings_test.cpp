// Loading and saving the six settings against an in-memory store.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/status.h"
#include "tests/support/memory_store.h"

namespace hushcall {
namespace {

using Writes = std::vector<std::pair<std::string, std::string>>;
using Keys = std::vector<std::string>;

const Keys kAllKeys = {"Action", "Volume", "Percent", "Popup", "Enabled", "COMPort"};

Status LoadStatus(Settings& settings, SettingsStore& store, std::string_view separator = ".") {
  try {
    LoadSettings(settings, store, separator);
  } catch (const Failure& failure) {
    return failure.status();
  }
  return kOk;
}

Status SaveStatus(const Settings& settings, SettingsStore& store) {
  try {
    SaveSettings(settings, store);
  } catch (const Failure& failure) {
    return failure.status();
  }
  return kOk;
}

// A record whose every field holds a recognisable value, as after an
// earlier load, so that a test can see which fields a failed load kept.
Settings Previous() {
  Settings s;
  s.Action = 40047;
  s.Volume = 77;
  s.Percent = true;
  s.Popup = true;
  s.Enabled = true;
  s.COMPort = 9;
  return s;
}

TEST(LoadSettings, EmptyStoreGivesTheDefaults) {
  MemorySettingsStore store;
  Settings s;
  ASSERT_EQ(LoadStatus(s, store), kOk);
  EXPECT_EQ(s.Action, 122);
  EXPECT_EQ(s.Volume, 50);
  EXPECT_FALSE(s.Percent);
  EXPECT_FALSE(s.Popup);
  EXPECT_FALSE(s.Enabled);
  EXPECT_EQ(s.COMPort, 1);
}

TEST(LoadSettings, ReadsEachKeyOnceInOrderWithItsDefault) {
  MemorySettingsStore store;
  Settings s;
  ASSERT_EQ(LoadStatus(s, store), kOk);
  const std::vector<StoreCall> expected = {
      {StoreCall::kRead, "Hushcall", "Common", "Action", "122"},
      {StoreCall::kRead, "Hushcall", "Common", "Volume", "50"},
      {StoreCall::kRead, "Hushcall", "Common", "Percent", "0"},
      {StoreCall::kRead, "Hushcall", "Common", "Popup", "0"},
      {StoreCall::kRead, "Hushcall", "Common", "Enabled", "0"},
      {StoreCall::kRead, "Hushcall", "Common", "COMPort", "1"},
  };
  EXPECT_EQ(store.calls(), expected);
}

TEST(SaveSettings, DefaultsAreWrittenBackAsPlainDecimalText) {
  MemorySettingsStore store;
  Settings s;
  ASSERT_EQ(LoadStatus(s, store), kOk);
  store.ClearCalls();
  ASSERT_EQ(SaveStatus(s, store), kOk);
  const std::vector<StoreCall> expected = {
      {StoreCall::kWrite, "Hushcall", "Common", "Action", "122"},
      {StoreCall::kWrite, "Hushcall", "Common", "Volume", "50"},
      {StoreCall::kWrite, "Hushcall", "Common", "Percent", "0"},
      {StoreCall::kWrite, "Hushcall", "Common", "Popup", "0"},
      {StoreCall::kWrite, "Hushcall", "Common", "Enabled", "0"},
      {StoreCall::kWrite, "Hushcall", "Common", "COMPort", "1"},
  };
  EXPECT_EQ(store.calls(), expected);
}

// One stored key's text, what loading makes of it, and what saving writes
// back (a stored value is not always written back as it was read).
struct KeyCase {
  const char* key;
  const char* stored;
  const char* separator;
  Status status;
  const char* savedBack;  // when status is kOk
};

class StoredValueTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(StoredValueTest, LoadsAndSavesBack) {
  const KeyCase& c = GetParam();
  MemorySettingsStore store;
  store.Set(c.key, c.stored);
  Settings s;
  ASSERT_EQ(LoadStatus(s, store, c.separator), c.status) << c.key << " = \"" << c.stored << '"';
  if (c.status != kOk) return;
  store.ClearCalls();
  ASSERT_EQ(SaveStatus(s, store), kOk);
  EXPECT_EQ(store.Value(c.key), c.savedBack) << c.key << " = \"" << c.stored << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, StoredValueTest,
    ::testing::Values(
        KeyCase{"Action", "40046", ".", kOk, "40046"},
        // Unknown actions are held and saved back unchanged.
        KeyCase{"Action", "-7", ".", kOk, "-7"},
        KeyCase{"Action", "12.5", ".", kOk, "12"},
        KeyCase{"Action", "13,5", ",", kOk, "14"},
        KeyCase{"Action", "12.5", ",", kTypeMismatch, nullptr},
        KeyCase{"Action", "pause", ".", kTypeMismatch, nullptr},
        KeyCase{"Action", "", ".", kTypeMismatch, nullptr},
        KeyCase{"Volume", "255", ".", kOk, "255"},
        KeyCase{"Volume", "254.5", ".", kOk, "254"},
        KeyCase{"Volume", "300", ".", kOverflow, nullptr},
        KeyCase{"Volume", "-1", ".", kOverflow, nullptr},
        KeyCase{"Volume", "40%", ".", kTypeMismatch, nullptr},
        // The booleans: any non-zero leading number is true, saved as "1".
        KeyCase{"Percent", "2", ".", kOk, "1"},
        KeyCase{"Percent", "-1", ".", kOk, "1"},
        KeyCase{"Percent", " 1", ".", kOk, "1"},
        KeyCase{"Percent", "yes", ".", kOk, "0"},
        KeyCase{"Popup", "1", ".", kOk, "1"},
        KeyCase{"Enabled", "1abc", ".", kOk, "1"},
        KeyCase{"Enabled", "true", ".", kOk, "0"},
        KeyCase{"COMPort", "COM2", ".", kOk, "0"},
        KeyCase{"COMPort", "2.5", ".", kOk, "2"},
        // The leading number always uses the point, whatever the locale.
        KeyCase{"COMPort", "3,5", ",", kOk, "3"},
        KeyCase{"COMPort", "255.5", ".", kOverflow, nullptr},
        KeyCase{"COMPort", "256", ".", kOverflow, nullptr},
        KeyCase{"COMPort", "1e999", ".", kOverflow, nullptr}));

TEST(LoadSettings, FailureEndsLoadingAtThatKeyAndKeepsTheLaterFields) {
  MemorySettingsStore store;
  store.Set("Action", "40046");
  store.Set("Volume", "300");
  store.Set("Percent", "0");
  store.Set("COMPort", "4");
  Settings s = Previous();
  ASSERT_EQ(LoadStatus(s, store), kOverflow);
  EXPECT_EQ(s.Action, 40046);
  EXPECT_EQ(s.Volume, 77);
  EXPECT_TRUE(s.Percent);
  EXPECT_TRUE(s.Popup);
  EXPECT_TRUE(s.Enabled);
  EXPECT_EQ(s.COMPort, 9);
  // Nothing after the failing key is read, and the store is not written.
  EXPECT_EQ(store.ReadKeys(), (Keys{"Action", "Volume"}));
  EXPECT_TRUE(store.WrittenKeys().empty());
}

TEST(SaveSettings, BeforeAnyLoadWritesNothing) {
  MemorySettingsStore store;
  store.Set("Action", "40046");
  const Settings s;
  ASSERT_EQ(SaveStatus(s, store), kOk);
  EXPECT_TRUE(store.calls().empty());
  EXPECT_EQ(store.Value("Action"), "40046");
}

TEST(SaveSettings, AfterAFailedLoadWritesOnlyTheFieldsLoadedBeforeTheFailure) {
  MemorySettingsStore store;
  store.Set("Action", "40046");
  store.Set("Volume", "300");
  store.Set("Enabled", "1");
  Settings s;
  ASSERT_EQ(LoadStatus(s, store), kOverflow);
  store.ClearCalls();
  ASSERT_EQ(SaveStatus(s, store), kOk);
  EXPECT_EQ(store.Writes(), (Writes{{"Action", "40046"}}));
  // The values that failed to load stay in the store as the user left them.
  EXPECT_EQ(store.Value("Volume"), "300");
  EXPECT_EQ(store.Value("Enabled"), "1");
}

// A second session in the same process: the record still holds the first
// session's values, which must not overwrite what the store now holds.
TEST(SaveSettings, AfterAFailedReloadWritesNoFieldOfAnEarlierLoad) {
  MemorySettingsStore store;
  store.Set("Action", "40046");
  store.Set("Volume", "300");
  store.Set("Popup", "0");
  store.Set("COMPort", "4");
  Settings s = Previous();
  ASSERT_EQ(LoadStatus(s, store), kOverflow);
  EXPECT_EQ(s.Popup, true) << "the record keeps the earlier value in memory";
  store.ClearCalls();
  ASSERT_EQ(SaveStatus(s, store), kOk);
  EXPECT_EQ(store.Writes(), (Writes{{"Action", "40046"}}));
  EXPECT_EQ(store.Value("Volume"), "300");
  EXPECT_EQ(store.Value("Popup"), "0");
  EXPECT_EQ(store.Value("COMPort"), "4");
  EXPECT_EQ(store.Value("Enabled"), std::nullopt);
}

TEST(SaveSettings, AfterAFailureAtTheFirstKeyWritesNothing) {
  MemorySettingsStore store;
  store.Set("Action", "pause");
  Settings s;
  ASSERT_EQ(LoadStatus(s, store), kTypeMismatch);
  store.ClearCalls();
  ASSERT_EQ(SaveStatus(s, store), kOk);
  EXPECT_TRUE(store.WrittenKeys().empty());
}

TEST(SaveSettings, AFieldAssignedWithoutALoadIsWrittenAlone) {
  // As when the modem error handling clears Enabled before any Initialize.
  MemorySettingsStore store;
  Settings s;
  s.Enabled = false;
  ASSERT_EQ(SaveStatus(s, store), kOk);
  EXPECT_EQ(store.Writes(), (Writes{{"Enabled", "0"}}));
}

TEST(SaveSettings, WritesKnownFieldsInKeyOrderWhateverOrderTheyWereSet) {
  MemorySettingsStore store;
  Settings s;
  s.COMPort = 3;
  s.Popup = true;
  s.Action = 40047;
  ASSERT_EQ(SaveStatus(s, store), kOk);
  EXPECT_EQ(store.Writes(), (Writes{{"Action", "40047"}, {"Popup", "1"}, {"COMPort", "3"}}));
}

TEST(SaveSettings, WritesEveryValueAsPlainDecimalText) {
  MemorySettingsStore store;
  Settings s;
  s.Action = -2147483647 - 1;
  s.Volume = 255;
  s.Percent = true;
  s.Popup = false;
  s.Enabled = true;
  s.COMPort = 0;
  ASSERT_EQ(SaveStatus(s, store), kOk);
  EXPECT_EQ(store.Writes(), (Writes{{"Action", "-2147483648"},
                                    {"Volume", "255"},
                                    {"Percent", "1"},
                                    {"Popup", "0"},
                                    {"Enabled", "1"},
                                    {"COMPort", "0"}}));
}

class FailingWriteTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(FailingWriteTest, EndsSavingWithItsStatusAndWritesNoLaterKey) {
  const std::size_t failing = GetParam();
  const std::string key = kAllKeys[failing];
  const Status status = StatusFromWin32(5);  // access denied
  MemorySettingsStore store;
  store.FailWrite(key, status);
  const Settings s = Previous();
  EXPECT_EQ(SaveStatus(s, store), status);
  const Keys attempted(kAllKeys.begin(), kAllKeys.begin() + failing + 1);
  EXPECT_EQ(store.WrittenKeys(), attempted);
  EXPECT_FALSE(store.Value(key).has_value());
}

INSTANTIATE_TEST_SUITE_P(EachKey, FailingWriteTest, ::testing::Range<std::size_t>(0, 6));

}  // namespace
}  // namespace hushcall
