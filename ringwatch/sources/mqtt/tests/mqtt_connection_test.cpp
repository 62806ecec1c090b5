// The broker's connection against a real mosquitto on loopback: messages
// both ways, the will when we vanish, a broker that goes away and comes
// back, and one that refuses our password. Real time, generous bounds.
#include "ringwatch/sources/mqtt/mqtt_connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ringwatch/posix/tests/line_log.h"
#include "ringwatch/sources/mqtt/tests/mosquitto_broker.h"
#include "tests/support/fake_message_boxes.h"

namespace hushcall::ringwatch {
namespace {

using hushcall::testing::MosquittoBroker;

using Lines = hushcall::testing::LineLog;

struct Received {
  std::string topic;
  std::string payload;
  bool retained;
};

// One connection and what it saw.
struct Peer {
  std::unique_ptr<MqttConnection> connection;
  std::vector<Received> received;
  int connected = 0;
  int lost = 0;
  std::vector<std::string> subscriptions;
};

class MqttConnectionTest : public ::testing::Test {
 protected:
  bool RunUntil(const std::function<bool()>& done, std::int64_t maxMs) {
    const std::int64_t start = loop_.NowMs();
    while (!done() && loop_.NowMs() - start < maxMs) loop_.RunOnce(50);
    return done();
  }

  std::unique_ptr<Peer> Connect(const std::string& host, std::uint16_t port,
                                std::vector<std::string> subscriptions,
                                const std::string& user = "", const std::string& password = "") {
    MqttSettings settings;
    settings.broker = {false, user, "127.0.0.1", port};
    return Connect(host, settings, std::move(subscriptions), password);
  }

  std::unique_ptr<Peer> Connect(const std::string& host, const MqttSettings& settings,
                                std::vector<std::string> subscriptions,
                                const std::string& password = "") {
    auto peer = std::make_unique<Peer>();
    peer->subscriptions = std::move(subscriptions);
    Peer* p = peer.get();
    MqttConnection::Handlers handlers;
    handlers.connected = [p] {
      ++p->connected;
      for (const std::string& filter : p->subscriptions) p->connection->Subscribe(filter, 1);
    };
    handlers.message = [p](std::string_view topic, std::string_view payload, bool retained) {
      p->received.push_back({std::string(topic), std::string(payload), retained});
    };
    handlers.lost = [p] { ++p->lost; };
    peer->connection = std::make_unique<MqttConnection>(
        loop_, log_, boxes_, settings, MqttTopics{"hushcall", host}, password, std::move(handlers));
    peer->connection->Start();
    return peer;
  }

  static bool Got(const Peer& peer, std::string_view topic, std::string_view payload) {
    return std::any_of(peer.received.begin(), peer.received.end(), [&](const Received& r) {
      return r.topic == topic && r.payload == payload;
    });
  }

  EventLoop loop_;
  hushcall::testing::CallLog boxLog_;
  hushcall::testing::FakeMessageBoxes boxes_{boxLog_};
  Lines log_;
};

TEST_F(MqttConnectionTest, MessagesGoBothWaysAndAMachineThatVanishesIsOfflineByItsWill) {
  MosquittoBroker broker;
  auto desk = Connect("desk", broker.port(), {"hushcall/+/call"});
  auto lap = Connect("lap", broker.port(), {"hushcall/+/availability"});
  ASSERT_TRUE(RunUntil([&] { return desk->connected == 1 && lap->connected == 1; }, 10000));
  EXPECT_EQ(desk->connection->state(), MqttConnection::State::kConnected);
  EXPECT_TRUE(log_.Has("MQTT: connected to the broker at mqtt://127.0.0.1:" +
                       std::to_string(broker.port()) + " as desk"));
  // Subscribed once the broker has the SUBSCRIBE: a retained message shows it.
  ASSERT_TRUE(RunUntil([&] { return Got(*lap, "hushcall/desk/availability", "online"); }, 5000));
  ASSERT_TRUE(lap->connection->Publish("hushcall/lap/call", "{\"x\":1}", 1, false));
  ASSERT_TRUE(RunUntil([&] { return Got(*desk, "hushcall/lap/call", "{\"x\":1}"); }, 5000));
  EXPECT_FALSE(desk->received.back().retained);
  // A large message is carried whole.
  const std::string large(300000, 'x');
  ASSERT_TRUE(lap->connection->Publish("hushcall/lap/call", large, 1, false));
  ASSERT_TRUE(RunUntil([&] { return Got(*desk, "hushcall/lap/call", large); }, 5000));
  EXPECT_EQ(boxes_.shown.size(), 0u);
  // Gone without a goodbye: the will, retained for those that come later.
  desk.reset();
  ASSERT_TRUE(RunUntil([&] { return Got(*lap, "hushcall/desk/availability", "offline"); }, 5000));
  auto late = Connect("late", broker.port(), {"hushcall/desk/availability"});
  ASSERT_TRUE(RunUntil([&] { return Got(*late, "hushcall/desk/availability", "offline"); }, 10000));
  EXPECT_TRUE(late->received.back().retained);
}

TEST_F(MqttConnectionTest, ABrokerThatGoesAwayIsToldOnceAndSubscribedAgainWhenBack) {
  MosquittoBroker broker;
  auto desk = Connect("desk", broker.port(), {"hushcall/+/call"});
  ASSERT_TRUE(RunUntil([&] { return desk->connected == 1; }, 10000));
  broker.Stop();
  ASSERT_TRUE(RunUntil([&] { return desk->lost == 1; }, 5000));
  EXPECT_EQ(desk->connection->state(), MqttConnection::State::kWaiting);
  EXPECT_FALSE(desk->connection->Publish("hushcall/desk/call", "{}", 1, false));
  // Two failures while it is away: told once.
  RunUntil([] { return false; }, 2500);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text,
            MqttLostText("mqtt://127.0.0.1:" + std::to_string(broker.port())));
  ASSERT_TRUE(broker.Start());
  ASSERT_TRUE(RunUntil([&] { return desk->connected == 2; }, 15000));
  EXPECT_TRUE(log_.Has("MQTT: the broker at mqtt://127.0.0.1:" + std::to_string(broker.port()) +
                       " is back"));
  // Subscribed anew: another machine's call arrives.
  auto lap = Connect("lap", broker.port(), {});
  ASSERT_TRUE(RunUntil([&] { return lap->connected == 1; }, 10000));
  RunUntil([] { return false; }, 300);
  ASSERT_TRUE(lap->connection->Publish("hushcall/lap/call", "again", 1, false));
  ASSERT_TRUE(RunUntil([&] { return Got(*desk, "hushcall/lap/call", "again"); }, 5000));
  EXPECT_EQ(boxes_.shown.size(), 1u);
}

TEST_F(MqttConnectionTest, AWrongPasswordIsSaidOnceTriedEverLessOftenAndLetInOnceTheBrokerTakesIt) {
  MosquittoBroker broker({"hushcall", "right", ""});
  auto desk = Connect("desk", broker.port(), {}, "hushcall", "wrong");
  ASSERT_TRUE(RunUntil([&] { return log_.Has("it refused Hushcall"); }, 10000));
  EXPECT_TRUE(log_.Has("(Connection Refused: not authorised.); trying again in 2 s"))
      << log_.lines.back();
  EXPECT_EQ(desk->connection->state(), MqttConnection::State::kWaiting);
  // No busy loop: the loop sleeps through each wait.
  const std::int64_t start = loop_.NowMs();
  int rounds = 0;
  for (; loop_.NowMs() - start < 1500; ++rounds) loop_.RunOnce(1500);
  EXPECT_LE(rounds, 3);
  // Tries again at 2 and 6 s, each refused (as the broker logs), said no
  // more.
  const std::string brokerLog = broker.folder() + "/mosquitto.log";
  auto tries = [&] {
    const std::string command = "grep -c 'disconnected, not authorised' " + brokerLog;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    int n = 0;
    if (pipe != nullptr && std::fscanf(pipe, "%d", &n) != 1) n = 0;
    if (pipe != nullptr) ::pclose(pipe);
    return n;
  };
  ASSERT_TRUE(RunUntil([&] { return tries() >= 3; }, 15000));
  RunUntil([] { return false; }, 1000);
  EXPECT_EQ(tries(), 3);
  EXPECT_EQ(std::count_if(log_.lines.begin(), log_.lines.end(),
                          [](const std::string& line) { return line.find("refused") != std::string::npos; }),
            1);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "Hushcall could not sign in to the MQTT broker at "
                                  "mqtt://hushcall@127.0.0.1:" + std::to_string(broker.port()) +
                                  ": wrong user or password. Check the user in Mqtt and the "
                                  "MqttPasswordFile.");
  // The user's password made right on the broker: let in at the next try.
  broker.Stop();
  ASSERT_EQ(std::system(("mosquitto_passwd -b " + broker.folder() + "/passwords hushcall wrong").c_str()), 0);
  ASSERT_TRUE(broker.Start());
  ASSERT_TRUE(RunUntil([&] { return desk->connected == 1; }, 15000));
  EXPECT_TRUE(log_.Has("MQTT: the broker at mqtt://hushcall@127.0.0.1:" +
                       std::to_string(broker.port()) + " is back"));
}

// TLS checks the name written in Mqtt although libmosquitto is given the
// address: "localhost", on each of its addresses in turn until one answers
// (nothing listens on ::1).
MqttSettings TlsTo(const MosquittoBroker& broker, bool withCa) {
  MqttSettings settings;
  settings.broker = {true, "", "localhost", broker.port()};
  if (withCa) settings.caFile = broker.folder() + "/ca.pem";
  return settings;
}

TEST_F(MqttConnectionTest, TlsWithTheCaFileConnectsToTheNamedBroker) {
  MosquittoBroker broker({"", "", "localhost"});
  auto desk = Connect("desk", TlsTo(broker, true), {"hushcall/+/availability"});
  ASSERT_TRUE(RunUntil([&] { return Got(*desk, "hushcall/desk/availability", "online"); }, 10000))
      << (log_.lines.empty() ? "" : log_.lines.back());
}

TEST_F(MqttConnectionTest, TlsRefusesACertificateForAnotherNameOrOfAnUnknownCa) {
  MosquittoBroker broker({"", "", "broker.example"});
  auto desk = Connect("desk", TlsTo(broker, true), {});
  ASSERT_TRUE(RunUntil([&] { return log_.Has("its certificate was refused"); }, 10000));
  EXPECT_TRUE(log_.Has("its certificate was refused (hostname mismatch); trying again in 2 s"))
      << ::testing::PrintToString(log_.lines);
  // Without the CA file: the system's CAs know none of it.
  auto lap = Connect("lap", TlsTo(broker, false), {});
  ASSERT_TRUE(RunUntil([&] { return log_.Count("its certificate was refused") == 2; }, 10000));
  EXPECT_EQ(desk->connected + lap->connected, 0);
  EXPECT_EQ(lap->connection->state(), MqttConnection::State::kWaiting);
  ASSERT_EQ(boxes_.shown.size(), 2u);
  EXPECT_EQ(boxes_.shown[1].text,
            "Hushcall does not trust the MQTT broker at mqtts://localhost:" +
                std::to_string(broker.port()) +
                ": its certificate was refused. Check MqttCaFile and the name in Mqtt.");
}

// OpenSSL's test server, which prints the extensions of each ClientHello.
class TlsServer {
 public:
  explicit TlsServer(const MosquittoBroker& certificates)
      : port_(MosquittoBroker::FreePort()) {
    int in[2];
    if (::pipe2(in, O_CLOEXEC) != 0) std::abort();
    input_.reset(in[1]);
    const std::string dir = certificates.folder();
    log_ = dir + "/s_server.log";
    const std::string accept = "127.0.0.1:" + std::to_string(port_);
    const std::string cert = dir + "/server.pem";
    const std::string key = dir + "/server.key";
    const char* argv[] = {"openssl", "s_server", "-accept", accept.c_str(), "-cert", cert.c_str(),
                          "-key", key.c_str(), "-tlsextdebug", "-naccept", "1", nullptr};
    // Its input held open, or it takes the end of input as its end.
    pid_ = MosquittoBroker::Spawn(argv, log_, in[0]);
    ::close(in[0]);
  }
  ~TlsServer() { MosquittoBroker::End(pid_); }
  std::uint16_t port() const { return port_; }
  // Once it listens: a probe of ours would be the one connection it takes.
  bool Listens() const { return Log().find("ACCEPT") != std::string::npos; }
  std::string Log() const {
    std::FILE* f = std::fopen(log_.c_str(), "rb");
    if (f == nullptr) return {};
    std::string text;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, f)) text.append(buffer, n);
    std::fclose(f);
    return text;
  }

 private:
  std::uint16_t port_;
  std::string log_;
  posix::UniqueFd input_;
  pid_t pid_ = -1;
};

TEST_F(MqttConnectionTest, TlsTellsTheBrokerTheNameNotTheAddress) {
  // A broker folder for its certificates alone.
  MosquittoBroker certificates({"", "", "localhost"});
  TlsServer server(certificates);
  ASSERT_TRUE(RunUntil([&] { return server.Listens(); }, 5000));
  MqttSettings settings = TlsTo(certificates, true);
  settings.broker.port = server.port();
  auto desk = Connect("desk", settings, {});
  // "localhost" as the server name extension shows it.
  ASSERT_TRUE(RunUntil([&] { return server.Log().find(".localhost") != std::string::npos; }, 5000))
      << server.Log();
  EXPECT_EQ(server.Log().find("127.0.0.1"), std::string::npos);
}

TEST_F(MqttConnectionTest, ACaFileThatIsNotOneIsSaidAndNothingIsTried) {
  MqttSettings settings;
  settings.broker = {true, "", "localhost", 8883};
  settings.caFile = "/dev/null";
  auto desk = Connect("desk", settings, {});
  EXPECT_EQ(desk->connection->state(), MqttConnection::State::kGivenUp);
  EXPECT_TRUE(log_.Has("the CA file /dev/null cannot be read as PEM certificates"));
}

}  // namespace
}  // namespace hushcall::ringwatch
