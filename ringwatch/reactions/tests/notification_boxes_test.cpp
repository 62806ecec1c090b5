// Message boxes as desktop notifications, against python-dbusmock's
// notification_daemon template: what is sent, that nothing waits, a
// missing server told once per outage, bodies escaped, and a notification
// changed in place by the id its server returned.
#include "ringwatch/reactions/notification_boxes.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ringwatch/core/message_boxes.h"
#include "ringwatch/dbus/bus_message.h"
#include "ringwatch/dbus/tests/bus_rig.h"

namespace hushcall::ringwatch {
namespace {

using testing::Child;
using testing::RecordingLog;
using testing::RunFor;
using testing::RunUntil;
using testing::TestConnection;

constexpr const char* kServer = "org.freedesktop.Notifications";
constexpr const char* kNoServer = "No notification server took Hushcall's notification";

class NotificationBoxesTest : public ::testing::Test {
 protected:
  NotificationBoxesTest()
      : bus_(loop_, BusKind::kSession, log_, nullptr), test_(BusKind::kSession) {}

  void StartServer() {
    server_ = std::make_unique<Child>(std::vector<std::string>{"/usr/bin/python3", "-m", "dbusmock",
                                                               "--template", "notification_daemon",
                                                               "-l", "/dev/null"});
    ASSERT_TRUE(test_.WaitForName(kServer, true, 10000));
  }
  void StopServer() {
    server_.reset();
    ASSERT_TRUE(test_.WaitForName(kServer, false, 10000));
  }

  // The arguments of each Notify the server got, in order.
  std::vector<std::vector<PropertyValue>> Notifications() {
    std::vector<std::vector<PropertyValue>> calls;
    MessagePtr reply = test_.Call(
        kServer, "/org/freedesktop/Notifications", "org.freedesktop.DBus.Mock", "GetMethodCalls",
        [](sd_bus_message* m) { sd_bus_message_append(m, "s", "Notify"); });
    if (!reply) return calls;
    sd_bus_message* m = reply.get();
    sd_bus_message_enter_container(m, 'a', "(tav)");
    while (sd_bus_message_enter_container(m, 'r', "tav") > 0) {
      std::uint64_t when = 0;
      sd_bus_message_read(m, "t", &when);
      std::vector<PropertyValue> args;
      sd_bus_message_enter_container(m, 'a', "v");
      while (sd_bus_message_at_end(m, false) == 0) args.push_back(ReadVariant(*m));
      sd_bus_message_exit_container(m);
      sd_bus_message_exit_container(m);
      calls.push_back(std::move(args));
    }
    return calls;
  }

  EventLoop loop_;
  RecordingLog log_;
  Bus bus_;
  TestConnection test_;
  std::unique_ptr<Child> server_;
};

std::string Text(const PropertyValue& value) {
  const std::string* text = std::get_if<std::string>(&value);
  return text ? *text : "(not a string)";
}

TEST_F(NotificationBoxesTest, ShowNotifiesWithoutWaitingAndAnswersOk) {
  StartServer();
  NotificationBoxes boxes(bus_, log_);

  const std::int64_t before = loop_.NowMs();
  EXPECT_EQ(boxes.Show("The phone is ringing!", "Hushcall", kMbInformationOk), 1);
  EXPECT_EQ(boxes.Show("Hushcall lost the modem on COM5.", "Hushcall - modem", kMbExclamationOk),
            1);
  EXPECT_LT(loop_.NowMs() - before, 50) << "Show waited";
  EXPECT_FALSE(boxes.Unanswered("The phone is ringing!", "Hushcall"));
  EXPECT_TRUE(log_.Has("Hushcall: The phone is ringing!"));
  EXPECT_TRUE(log_.Has("Hushcall - modem: Hushcall lost the modem on COM5."));

  std::vector<std::vector<PropertyValue>> sent;
  ASSERT_TRUE(RunUntil(
      loop_, [&] { return (sent = Notifications()).size() == 2; }, 5000));
  // app_name, replaces_id, app_icon, summary, body, actions, hints, timeout
  ASSERT_EQ(sent[0].size(), 8u);
  EXPECT_EQ(Text(sent[0][0]), "Hushcall");
  EXPECT_EQ(Text(sent[0][2]), "dialog-information");
  EXPECT_EQ(Text(sent[0][3]), "Hushcall");
  EXPECT_EQ(Text(sent[0][4]), "The phone is ringing!");
  ASSERT_EQ(sent[1].size(), 8u);
  EXPECT_EQ(Text(sent[1][2]), "dialog-warning");
  EXPECT_EQ(Text(sent[1][3]), "Hushcall - modem");
  EXPECT_EQ(Text(sent[1][4]), "Hushcall lost the modem on COM5.");
  RunFor(loop_, 200);
  EXPECT_FALSE(log_.Has("notification server"));
}

TEST_F(NotificationBoxesTest, AServerSlowToAnswerIsNotTakenForAMissingOne) {
  // As one the bus has just started: it answers after a second.
  server_ = std::make_unique<Child>(std::vector<std::string>{
      "/usr/bin/python3", "-m", "dbusmock", kServer, "/org/freedesktop/Notifications", kServer});
  ASSERT_TRUE(test_.WaitForName(kServer, true, 10000));
  test_.Call(kServer, "/org/freedesktop/Notifications", "org.freedesktop.DBus.Mock", "AddMethod",
             [](sd_bus_message* m) {
               sd_bus_message_append(m, "sssss", kServer, "Notify", "susssasa{sv}i", "u",
                                     "__import__('time').sleep(1); ret = 7");
             });
  NotificationBoxes boxes(bus_, log_);
  boxes.Show("The phone is ringing!", "Hushcall", kMbInformationOk);
  RunFor(loop_, 1500);
  EXPECT_FALSE(log_.Has("notification server")) << log_.lines().back();
}

TEST_F(NotificationBoxesTest, AMissingServerIsLoggedOncePerOutage) {
  ASSERT_TRUE(test_.WaitForName(kServer, false, 5000));
  NotificationBoxes boxes(bus_, log_);
  EXPECT_EQ(boxes.Show("The phone is ringing!", "Hushcall", kMbInformationOk), 1);
  EXPECT_EQ(boxes.Show("The phone is ringing!", "Hushcall", kMbInformationOk), 1);
  ASSERT_TRUE(RunUntil(
      loop_, [&] { return log_.Has(kNoServer); }, 5000));
  RunFor(loop_, 300);
  EXPECT_EQ(log_.Count(kNoServer), 1u);
  EXPECT_TRUE(log_.Has("org.freedesktop.DBus.Error.ServiceUnknown"));
  EXPECT_EQ(log_.Count("Hushcall: The phone is ringing!"), 2u);

  // A server comes: notifications reach it, and the log says nothing more.
  StartServer();
  boxes.Show("The phone is ringing!", "Hushcall", kMbInformationOk);
  ASSERT_TRUE(RunUntil(
      loop_, [&] { return Notifications().size() == 1; }, 5000));
  RunFor(loop_, 200);
  EXPECT_EQ(log_.Count(kNoServer), 1u);

  // It goes again: told once more.
  StopServer();
  boxes.Show("The phone is ringing!", "Hushcall", kMbInformationOk);
  boxes.Show("The phone is ringing!", "Hushcall", kMbInformationOk);
  ASSERT_TRUE(RunUntil(
      loop_, [&] { return log_.Count(kNoServer) == 2; }, 5000));
  RunFor(loop_, 300);
  EXPECT_EQ(log_.Count(kNoServer), 2u);
}

std::uint32_t Id(const PropertyValue& value) {
  const std::uint32_t* id = std::get_if<std::uint32_t>(&value);
  return id ? *id : 0xFFFFFFFFu;
}

TEST_F(NotificationBoxesTest, AChangeReplacesTheShownNotificationOnceItsIdIsBack) {
  StartServer();
  NotificationBoxes boxes(bus_, log_);
  boxes.Show("first", "Hushcall", kMbInformationOk);  // the server's id 1
  boxes.ShowChangeable("The phone is ringing!", "Hushcall", kMbExclamationOk);
  // Before the server has answered: the latest change waits for its id.
  boxes.Change("Call from 5551234", "The phone is ringing!");
  boxes.Change("Call from A&B <i>x</i> (5551234)", "The phone is ringing!");
  std::vector<std::vector<PropertyValue>> sent;
  ASSERT_TRUE(RunUntil(
      loop_, [&] { return (sent = Notifications()).size() == 3; }, 5000));
  RunFor(loop_, 200);
  ASSERT_EQ((sent = Notifications()).size(), 3u) << "one change, the latest, is sent";
  EXPECT_EQ(Id(sent[1][1]), 0u);
  EXPECT_EQ(Id(sent[2][1]), 2u) << "the id the server returned for the shown one";
  EXPECT_EQ(Text(sent[2][3]), "The phone is ringing!");
  EXPECT_EQ(Text(sent[2][4]), "Call from A&amp;B &lt;i&gt;x&lt;/i&gt; (5551234)");
  EXPECT_EQ(Text(sent[2][2]), "dialog-warning");

  // Once the id is known a change goes at once; a newer notification ends
  // the older one's changes.
  boxes.Change("Caller withheld", "The phone is ringing!");
  boxes.ShowChangeable("The phone is ringing!", "Hushcall", kMbExclamationOk);
  ASSERT_TRUE(RunUntil(
      loop_, [&] { return (sent = Notifications()).size() == 5; }, 5000));
  EXPECT_EQ(Id(sent[3][1]), 2u);
  EXPECT_EQ(Id(sent[4][1]), 0u);
}

}  // namespace
}  // namespace hushcall::ringwatch
