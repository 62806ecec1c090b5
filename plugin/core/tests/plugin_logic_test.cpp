// Initialize, Configure and Quit against a fake host, store and dialog.
#include "plugin/core/plugin_logic.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "common/status.h"
#include "plugin/core/tests/fake_host_wrapper.h"
#include "plugin/core/tests/logging_store.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_options_dialog.h"

namespace hushcall {
namespace {

using testing::CallLog;
using testing::Fault;
using testing::FakeClock;
using testing::FakeHostWrapper;
using testing::FakeOptionsDialog;
using testing::Join;
using testing::LoggingStore;

constexpr std::int32_t kEarlierPlayerWnd = 0x777;

const CallLog kReadAll = {"Read(Action)", "Read(Volume)", "Read(Percent)",
                          "Read(Popup)",  "Read(Enabled)", "Read(COMPort)"};
const CallLog kHostCalls = {"SetDescription(Hushcall)", "GetPlayerWindow(0)"};

class PluginLogicTest : public ::testing::Test {
 protected:
  CallLog log;
  Settings settings;
  std::int32_t playerWnd = kEarlierPlayerWnd;
  LoggingStore store{log};
  FakeClock clock;
  FakeOptionsDialog dialog{log, clock};
  FakeHostWrapper wrapper{log};
  PluginEnvironment env{settings, playerWnd, store, dialog, "."};
};

TEST_F(PluginLogicTest, InitializeWithoutWrapperFailsAndTouchesNothing) {
  store.Set("Enabled", "1");
  EXPECT_EQ(PluginInitialize(env, nullptr), kPointer);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(playerWnd, kEarlierPlayerWnd);
  EXPECT_FALSE(settings.Action.known());
}

TEST_F(PluginLogicTest, InitializeOnAnEmptyStoreLoadsDefaultsAndNoDialog) {
  EXPECT_EQ(PluginInitialize(env, &wrapper), kOk);
  EXPECT_EQ(log, Join({kHostCalls, kReadAll}));
  EXPECT_EQ(playerWnd, 0x10A2C);
  EXPECT_EQ(settings.Action, kActionVolume);
  EXPECT_EQ(settings.Volume, 50);
  EXPECT_EQ(settings.COMPort, 1);
  EXPECT_FALSE(settings.Enabled);
  EXPECT_FALSE(dialog.Loaded());
}

TEST_F(PluginLogicTest, InitializeLoadsTheHiddenDialogAfterTheSettingsWhenEnabled) {
  store.Set("Enabled", "1");
  EXPECT_EQ(PluginInitialize(env, &wrapper), kOk);
  EXPECT_EQ(log, Join({kHostCalls, kReadAll, {"Load"}}));
  EXPECT_TRUE(dialog.Loaded());
}

TEST_F(PluginLogicTest, HostSucceedingWithoutWritingTheHandleLeavesPlayerWndZero) {
  wrapper.playerWindow.reset();
  EXPECT_EQ(PluginInitialize(env, &wrapper), kOk);
  EXPECT_EQ(playerWnd, 0);
}

TEST_F(PluginLogicTest, HostsOwnSuccessCodesCountAsSuccess) {
  wrapper.setDescriptionStatus = kFalse;
  wrapper.getPlayerWindowStatus = 0x00040000;  // some other success code
  EXPECT_EQ(PluginInitialize(env, &wrapper), kOk);
  EXPECT_EQ(log, Join({kHostCalls, kReadAll}));
  EXPECT_EQ(playerWnd, 0x10A2C);
}

// A failing host call: which one, its status, and the calls made up to it.
struct HostFailureCase {
  const char* name;
  bool atSetDescription;
  Status status;
};

class HostFailureTest : public PluginLogicTest,
                        public ::testing::WithParamInterface<HostFailureCase> {};

TEST_P(HostFailureTest, EndsInitializeWithTheHostsStatusAndLeavesStateAlone) {
  const HostFailureCase& c = GetParam();
  store.Set("Enabled", "1");
  if (c.atSetDescription) {
    wrapper.setDescriptionStatus = c.status;
  } else {
    wrapper.getPlayerWindowStatus = c.status;
  }
  EXPECT_EQ(PluginInitialize(env, &wrapper), c.status);
  const CallLog expected = c.atSetDescription ? CallLog{kHostCalls[0]} : kHostCalls;
  EXPECT_EQ(log, expected);
  // Even though the host may have written the out value, a failure keeps
  // the handle held before.
  EXPECT_EQ(playerWnd, kEarlierPlayerWnd);
  EXPECT_FALSE(settings.Action.known());
  EXPECT_FALSE(dialog.Loaded());
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostFailureTest,
    ::testing::Values(HostFailureCase{"SetDescriptionFails", true, kFail},
                      HostFailureCase{"SetDescriptionOutOfMemory", true, kOutOfMemory},
                      HostFailureCase{"GetPlayerWindowFails", false, kFail},
                      HostFailureCase{"GetPlayerWindowOddFailure", false,
                                      static_cast<Status>(0x80000001u)}),
    [](const ::testing::TestParamInfo<HostFailureCase>& info) { return info.param.name; });

TEST_F(PluginLogicTest, ConversionFailureEndsInitializeBeforeTheDialogLoads) {
  store.Set("Action", "40046");
  store.Set("Volume", "300");
  store.Set("Enabled", "1");
  EXPECT_EQ(PluginInitialize(env, &wrapper), kOverflow);
  EXPECT_EQ(log, Join({kHostCalls, {"Read(Action)", "Read(Volume)"}}));
  EXPECT_EQ(playerWnd, 0x10A2C);
  EXPECT_EQ(settings.Action, kActionPause);
  EXPECT_FALSE(dialog.Loaded());
}

TEST_F(PluginLogicTest, TypeMismatchInTheStoreIsReturnedAsIs) {
  store.Set("Action", "");
  EXPECT_EQ(PluginInitialize(env, &wrapper), kTypeMismatch);
}

TEST_F(PluginLogicTest, LocaleSeparatorReachesTheStrictNumbers) {
  env.decimalSeparator = ",";
  store.Set("Volume", "12,5");
  EXPECT_EQ(PluginInitialize(env, &wrapper), kOk);
  EXPECT_EQ(settings.Volume, 12);
}

TEST_F(PluginLogicTest, SecondInitializeAsksTheHostAgainAndDiscardsUnsavedChanges) {
  ASSERT_EQ(PluginInitialize(env, &wrapper), kOk);
  settings.Action = kActionStop;
  wrapper.playerWindow = 0x2222;
  log.clear();
  EXPECT_EQ(PluginInitialize(env, &wrapper), kOk);
  EXPECT_EQ(log, Join({kHostCalls, kReadAll}));
  EXPECT_EQ(settings.Action, kActionVolume);
  EXPECT_EQ(playerWnd, 0x2222);
}

TEST_F(PluginLogicTest, ConfigureShowsTheDialogModally) {
  EXPECT_EQ(PluginConfigure(env), kOk);
  EXPECT_EQ(log, CallLog{"ShowModal"});
}

TEST_F(PluginLogicTest, QuitSavesTheSettingsThenUnloadsTheDialog) {
  store.Set("Enabled", "1");
  ASSERT_EQ(PluginInitialize(env, &wrapper), kOk);
  log.clear();
  EXPECT_EQ(PluginQuit(env), kOk);
  EXPECT_EQ(log, (CallLog{"Write(Action,122)", "Write(Volume,50)", "Write(Percent,0)",
                          "Write(Popup,0)", "Write(Enabled,1)", "Write(COMPort,1)", "Unload"}));
  EXPECT_FALSE(dialog.Loaded());
}

// The player unloads us right after quit: a port or timer left behind by a
// refused write would outlive our code.
TEST_F(PluginLogicTest, QuitWithAFailingWriteReturnsItsStatusAndStillUnloadsTheDialog) {
  store.Set("Enabled", "1");
  ASSERT_EQ(PluginInitialize(env, &wrapper), kOk);
  const Status denied = StatusFromWin32(5);
  store.FailWrite("Popup", denied);
  log.clear();
  EXPECT_EQ(PluginQuit(env), denied);
  EXPECT_EQ(log, (CallLog{"Write(Action,122)", "Write(Volume,50)", "Write(Percent,0)",
                          "Write(Popup,0)", "Unload"}));
  EXPECT_FALSE(dialog.Loaded());
}

TEST_F(PluginLogicTest, ConfigureAndQuitBeforeAnyInitializeLeaveTheStoreAlone) {
  store.Set("Action", "40047");
  EXPECT_EQ(PluginConfigure(env), kOk);
  EXPECT_EQ(PluginQuit(env), kOk);
  EXPECT_EQ(log, (CallLog{"ShowModal", "Unload"}));
  EXPECT_EQ(store.Value("Action"), "40047");
}

TEST_F(PluginLogicTest, QuitAfterAFailedLoadWritesBackOnlyWhatWasLoaded) {
  store.Set("Action", "40046");
  store.Set("Volume", "abc");
  ASSERT_EQ(PluginInitialize(env, &wrapper), kTypeMismatch);
  log.clear();
  EXPECT_EQ(PluginQuit(env), kOk);
  EXPECT_EQ(log, (CallLog{"Write(Action,40046)", "Unload"}));
  EXPECT_EQ(store.Value("Volume"), "abc");
}

TEST_F(PluginLogicTest, AWholeSessionRunsInOrder) {
  store.Set("Enabled", "1");
  store.Set("COMPort", "3");
  EXPECT_EQ(PluginInitialize(env, &wrapper), kOk);
  EXPECT_EQ(PluginConfigure(env), kOk);
  settings.Popup = true;  // as the dialog's Apply would
  EXPECT_EQ(PluginQuit(env), kOk);
  EXPECT_EQ(log, Join({kHostCalls, kReadAll,
                       {"Load", "ShowModal", "Write(Action,122)", "Write(Volume,50)",
                        "Write(Percent,0)", "Write(Popup,1)", "Write(Enabled,1)",
                        "Write(COMPort,3)", "Unload"}}));
}

// Whatever a collaborator throws ends the operation with a status; none of
// it may reach the host.
struct EscapeCase {
  const char* name;
  Fault fault;
  Status status;
};

const EscapeCase kEscapes[] = {
    {"Failure", [] { Fail(kInvalidArg); }, kInvalidArg},
    {"OutOfMemory", [] { throw std::bad_alloc(); }, kOutOfMemory},
    {"StandardException", [] { throw std::runtime_error("boom"); }, kUnexpected},
    {"AnythingElse", [] { throw 42; }, kUnexpected},
};

class EscapeTest : public PluginLogicTest, public ::testing::WithParamInterface<EscapeCase> {};

TEST_P(EscapeTest, EndsInitializeWithAStatusAndRollsNothingBack) {
  store.Set("Enabled", "1");
  dialog.onLoad = GetParam().fault;
  EXPECT_EQ(PluginInitialize(env, &wrapper), GetParam().status);
  EXPECT_TRUE(settings.Enabled);
}

INSTANTIATE_TEST_SUITE_P(Table, EscapeTest, ::testing::ValuesIn(kEscapes),
                         [](const ::testing::TestParamInfo<EscapeCase>& info) {
                           return info.param.name;
                         });

TEST_F(PluginLogicTest, HostCallThatThrowsEndsInitializeWithAStatus) {
  wrapper.getPlayerWindowFault = [] { throw std::bad_alloc(); };
  EXPECT_EQ(PluginInitialize(env, &wrapper), kOutOfMemory);
  EXPECT_EQ(playerWnd, kEarlierPlayerWnd);
}

TEST_F(PluginLogicTest, FailureWhileShowingEndsConfigureWithItsStatus) {
  dialog.whileModal = [] { Fail(kFail); };
  EXPECT_EQ(PluginConfigure(env), kFail);
}

TEST_F(PluginLogicTest, FailureWhileUnloadingEndsQuitAfterTheSettingsWereSaved) {
  settings.Enabled = true;
  dialog.onUnload = [] { throw std::runtime_error("window gone"); };
  EXPECT_EQ(PluginQuit(env), kUnexpected);
  EXPECT_EQ(store.Value("Enabled"), "1");
}

}  // namespace
}  // namespace hushcall
