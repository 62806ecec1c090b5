// The in-memory store that tests across the project stand in for the real one.
#include "tests/support/memory_store.h"

#include <gtest/gtest.h>

namespace hushcall {
namespace {

TEST(MemorySettingsStore, AbsentKeyReadsAsTheDefaultAndAPresentEmptyOneAsEmpty) {
  MemorySettingsStore store;
  EXPECT_EQ(store.Read("Hushcall", "Common", "Volume", "50"), "50");
  store.Set("Volume", "");
  EXPECT_EQ(store.Read("Hushcall", "Common", "Volume", "50"), "");
}

TEST(MemorySettingsStore, KeepsApplicationsAndSectionsApart) {
  MemorySettingsStore store;
  store.Write("Other", "Common", "Action", "1");
  store.Write("Hushcall", "Other", "Action", "2");
  EXPECT_FALSE(store.Value("Action").has_value());
  EXPECT_EQ(store.Value("Other", "Common", "Action"), "1");
  EXPECT_EQ(store.Value("Hushcall", "Other", "Action"), "2");
}

TEST(MemorySettingsStore, RecordsReadsAndWritesInOrder) {
  MemorySettingsStore store;
  store.Write("Hushcall", "Common", "Action", "40046");
  store.Read("Hushcall", "Common", "Action", "122");
  const std::vector<StoreCall> expected = {
      {StoreCall::kWrite, "Hushcall", "Common", "Action", "40046"},
      {StoreCall::kRead, "Hushcall", "Common", "Action", "122"},
  };
  EXPECT_EQ(store.calls(), expected);
}

TEST(MemorySettingsStore, AFailingWriteThrowsItsStatusRecordsTheCallAndStoresNothing) {
  MemorySettingsStore store;
  store.Set("Popup", "1");
  store.FailWrite("Popup", kFail);
  try {
    store.Write("Hushcall", "Common", "Popup", "0");
    FAIL() << "the write should have failed";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.status(), kFail);
  }
  EXPECT_EQ(store.WrittenKeys(), std::vector<std::string>{"Popup"});
  EXPECT_EQ(store.Value("Popup"), "1");
  store.FailWrite("Popup", kOk);
  store.Write("Hushcall", "Common", "Popup", "0");
  EXPECT_EQ(store.Value("Popup"), "0");
}

}  // namespace
}  // namespace hushcall
