// The call monitor's connection against loopback peers that misbehave as a
// real router's network can: one whose connect is never answered, and one
// that hangs up in the middle of a call. Real time, generous bounds.
#include "ringwatch/sources/callmonitor/call_monitor_calls.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ringwatch/posix/tests/line_log.h"
#include "tests/support/fake_message_boxes.h"

namespace hushcall::ringwatch {
namespace {

using Lines = hushcall::testing::LineLog;

// A listening socket on a free loopback port.
struct Listener {
  // Non-blocking: the tests accept between rounds of the loop.
  posix::UniqueFd fd{::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)};
  std::uint16_t port = 0;

  explicit Listener(int backlog) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    EXPECT_EQ(::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), length), 0);
    EXPECT_EQ(::listen(fd.get(), backlog), 0);
    EXPECT_EQ(::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length), 0);
    port = ntohs(address.sin_port);
  }
  posix::UniqueFd Connect() const {
    posix::UniqueFd client(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    ::connect(client.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    return client;
  }
};

class CallMonitorCallsTest : public ::testing::Test {
 protected:
  // Runs the loop until `done` or `maxMs` have passed; the time it took.
  std::int64_t RunUntil(const std::function<bool()>& done, std::int64_t maxMs) {
    const std::int64_t start = loop_.NowMs();
    while (!done() && loop_.NowMs() - start < maxMs) loop_.RunOnce(50);
    return loop_.NowMs() - start;
  }
  std::unique_ptr<CallMonitorCalls> Watch(std::uint16_t port) {
    settings_.callMonitor = {"127.0.0.1", port};
    auto calls = std::make_unique<CallMonitorCalls>(
        loop_, settings_, boxes_, log_, [this](const CallReport& r) { reports_.push_back(r); },
        [this] { ++forgotten_; });
    calls->Start();
    return calls;
  }

  EventLoop loop_;
  ServiceSettings settings_ = DefaultServiceSettings();
  testing::CallLog boxLog_;
  testing::FakeMessageBoxes boxes_{boxLog_};
  Lines log_;
  std::vector<CallReport> reports_;
  int forgotten_ = 0;
};

TEST_F(CallMonitorCallsTest, AConnectNobodyAnswersIsGivenUpAfterFiveSecondsAndToldOnce) {
  // A full backlog: the kernel drops the SYN, as a router gone from the
  // network would leave it unanswered.
  Listener listener(0);
  std::vector<posix::UniqueFd> queued;
  for (int i = 0; i < 4; ++i) queued.push_back(listener.Connect());
  const auto calls = Watch(listener.port);
  RunUntil([&] { return calls->state() == CallMonitorCalls::State::kConnecting; }, 5000);
  ASSERT_EQ(calls->state(), CallMonitorCalls::State::kConnecting);
  const std::int64_t took =
      RunUntil([&] { return calls->state() == CallMonitorCalls::State::kWaiting; }, 15000);
  EXPECT_EQ(calls->state(), CallMonitorCalls::State::kWaiting);
  EXPECT_GE(took, kCallMonitorConnectMs - 100);
  EXPECT_LE(took, kCallMonitorConnectMs + 3000);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, CallMonitorLostText("127.0.0.1:" + std::to_string(listener.port)));
}

TEST_F(CallMonitorCallsTest, ARouterThatHangsUpMidCallTakesTheCallAndIsWatchedAgain) {
  Listener listener(4);
  const auto calls = Watch(listener.port);
  posix::UniqueFd peer;
  RunUntil([&] {
    peer.reset(::accept4(listener.fd.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    return static_cast<bool>(peer);
  }, 10000);
  ASSERT_TRUE(peer);
  RunUntil([&] { return calls->state() == CallMonitorCalls::State::kConnected; }, 10000);
  const std::string ring = "24.12.25 18:30:01;RING;0;0301;987654;SIP0;\r\n24.12.25 18:30:0";
  ASSERT_EQ(::write(peer.get(), ring.data(), ring.size()), static_cast<ssize_t>(ring.size()));
  RunUntil([&] { return !reports_.empty(); }, 10000);
  ASSERT_EQ(reports_.size(), 1u);
  peer.reset();  // half a line sent
  RunUntil([&] { return calls->state() == CallMonitorCalls::State::kWaiting; }, 10000);
  EXPECT_EQ(forgotten_, 1);
  EXPECT_EQ(boxes_.shown.size(), 1u);
  // Back after the first wait of 2 s, with nothing of the old line left.
  const std::int64_t took = RunUntil([&] {
    peer.reset(::accept4(listener.fd.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    return static_cast<bool>(peer);
  }, 10000);
  EXPECT_GE(took, kCallMonitorFirstRetryMs - 100);
  RunUntil([&] { return calls->state() == CallMonitorCalls::State::kConnected; }, 10000);
  const std::string end = "1;DISCONNECT;0;0;\r\n24.12.25 18:30:09;DISCONNECT;0;0;\r\n";
  ASSERT_EQ(::write(peer.get(), end.data(), end.size()), static_cast<ssize_t>(end.size()));
  RunUntil([] { return false; }, 300);
  // The call went with the connection: its end is nobody's now.
  EXPECT_EQ(reports_.size(), 1u);
  EXPECT_EQ(boxes_.shown.size(), 1u);
  EXPECT_NE(std::find(log_.lines.begin(), log_.lines.end(),
                      "the call monitor at 127.0.0.1:" + std::to_string(listener.port) +
                          " is back; Hushcall watches it again"),
            log_.lines.end());
}

}  // namespace
}  // namespace hushcall::ringwatch
