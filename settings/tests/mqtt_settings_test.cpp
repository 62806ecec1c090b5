// The Mqtt keys of the settings file: the broker's address, its files, the
// topic and the flags, each bad line said once and left at its default.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings_file.h"

namespace hushcall {
namespace {

using Messages = std::vector<std::string>;

SettingsFileResult Parse(std::string_view text) { return ParseSettingsFile(text, "hc.conf"); }

TEST(MqttSettings, AddressesTakeAUserAPortAndTlsWithItsOwnDefaultPort) {
  struct Case {
    std::string value;
    MqttBroker broker;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"mqtt://broker.lan", {false, "", "broker.lan", 1883}, "mqtt://broker.lan:1883"},
      {"mqtt://broker.lan/", {false, "", "broker.lan", 1883}, "mqtt://broker.lan:1883"},
      {"mqtts://broker.lan", {true, "", "broker.lan", 8883}, "mqtts://broker.lan:8883"},
      {"mqtt://hc@10.0.0.2:1884", {false, "hc", "10.0.0.2", 1884}, "mqtt://hc@10.0.0.2:1884"},
      {"mqtts://hush.call@[fd00::2]:8884", {true, "hush.call", "fd00::2", 8884},
       "mqtts://hush.call@[fd00::2]:8884"},
      {"mqtts://[fd00::2]", {true, "", "fd00::2", 8883}, "mqtts://[fd00::2]:8883"},
  };
  for (const Case& c : cases) {
    const SettingsFileResult r = Parse("Mqtt = " + c.value + "\n");
    EXPECT_EQ(r.messages, Messages{}) << c.value;
    EXPECT_EQ(r.settings.mqtt.broker, c.broker) << c.value;
    EXPECT_EQ(MqttText(r.settings.mqtt.broker), c.text) << c.value;
  }
  EXPECT_EQ(MqttText(MqttBroker{}), "");  // off
}

TEST(MqttSettings, EveryKeyReadsTogether) {
  const SettingsFileResult r = Parse(
      "Sources=tty,mqtt\n"
      "Mqtt=mqtts://hc@broker.lan\n"
      "MqttPasswordFile=/home/u/.config/hushcall/mqtt.pw\n"
      "MqttCaFile=/etc/ssl/home-ca.pem\n"
      "MqttTopic=home/phone\n"
      "MqttDiscovery=0\n"
      "MqttCallerId=1\n");
  EXPECT_EQ(r.messages, Messages{});
  EXPECT_TRUE(r.settings.sources.tty);
  EXPECT_TRUE(r.settings.sources.mqtt);
  EXPECT_EQ(SourcesText(r.settings.sources), "tty,mqtt");
  const MqttSettings& mqtt = r.settings.mqtt;
  EXPECT_EQ(mqtt.passwordFile, "/home/u/.config/hushcall/mqtt.pw");
  EXPECT_EQ(mqtt.caFile, "/etc/ssl/home-ca.pem");
  EXPECT_EQ(mqtt.topic, "home/phone");
  EXPECT_FALSE(mqtt.discovery);
  EXPECT_TRUE(mqtt.callerId);
}

TEST(MqttSettings, AnEmptyFileKeyIsNoFileAsWithoutTheKey) {
  const SettingsFileResult r =
      Parse("MqttPasswordFile=/pw\nMqttPasswordFile=\nMqttCaFile=\nMqtt=mqtts://hc@b\n");
  EXPECT_EQ(r.messages,
            Messages{"hc.conf:2: MqttPasswordFile is also set on line 1; this line wins"});
  EXPECT_EQ(r.settings.mqtt.passwordFile, "");
  EXPECT_EQ(r.settings.mqtt.caFile, "");
}

TEST(MqttSettings, BadValueGivesOneMessageAndTheDefault) {
  struct Case {
    std::string line;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"Mqtt=broker.lan", "Mqtt='broker.lan' is not mqtt://[user@]host[:port] or "
                          "mqtts://[user@]host[:port], such as mqtt://broker.lan or "
                          "mqtts://hushcall@[fd00::2]:8883 (the password goes in "
                          "MqttPasswordFile); using the default, none: MQTT is off"},
      {"Mqtt=http://broker.lan", "Mqtt='http://broker.lan' is not"},
      {"Mqtt=mqtt://", "Mqtt='mqtt://' is not"},
      // A password in the address is refused, not taken.
      {"Mqtt=mqtt://hc:pw@broker.lan", "Mqtt='mqtt://hc:pw@broker.lan' is not"},
      {"Mqtt=mqtt://broker.lan:0", "Mqtt='mqtt://broker.lan:0' is not"},
      {"Mqtt=mqtt://broker.lan:1883/topic", "Mqtt='mqtt://broker.lan:1883/topic' is not"},
      {"Mqtt=mqtt://bro ker", "Mqtt='mqtt://bro ker' is not"},
      {"MqttPasswordFile=mqtt.pw", "MqttPasswordFile='mqtt.pw' is not an absolute path; using the "
                                   "default, none: no password"},
      {"MqttCaFile=ca.pem", "MqttCaFile='ca.pem' is not an absolute path; using the default, "
                            "none: the system's CAs"},
      {"MqttTopic=", "MqttTopic='' is not topic levels joined by /, such as hushcall or "
                     "home/phone, without +, #, a leading $ or an empty level; using the default, "
                     "hushcall"},
      {"MqttTopic=home/#", "MqttTopic='home/#' is not"},
      {"MqttTopic=$SYS", "MqttTopic='$SYS' is not"},
      {"MqttTopic=/home", "MqttTopic='/home' is not"},
      {"MqttTopic=home//phone", "MqttTopic='home//phone' is not"},
      {"MqttTopic=my phone", "MqttTopic='my phone' is not"},
      {"MqttTopic=" + std::string(129, 'x'), "MqttTopic='xxx"},
      {"MqttDiscovery=off", "MqttDiscovery='off' is not a number: 0 is off, any other on; using "
                            "the default, 1"},
      {"MqttCallerId=yes", "MqttCallerId='yes' is not a number: 0 is off, any other on; using "
                           "the default, 0"},
      {"Sources=tty,mqtt,mqtt", "Sources='tty,mqtt,mqtt' is not"},
  };
  for (const Case& c : cases) {
    const std::string key = c.line.substr(0, c.line.find('='));
    // An earlier good line for the same key: the bad one must not keep it.
    const std::string good = key == "Mqtt"               ? "Mqtt=mqtts://hc@broker.lan:1"
                             : key == "MqttTopic"        ? "MqttTopic=elsewhere"
                             : key == "MqttDiscovery"    ? "MqttDiscovery=0"
                             : key == "MqttCallerId"     ? "MqttCallerId=1"
                             : key == "Sources"          ? "Sources=mqtt"
                                                         : key + "=/good";
    const SettingsFileResult r = Parse("\n" + good + "\n" + c.line + "\n");
    ASSERT_EQ(r.messages.size(), 2u) << c.line;  // the repeat, then the value
    EXPECT_EQ(r.messages[1].rfind("hc.conf:3: " + c.message, 0), 0u) << r.messages[1];
    EXPECT_EQ(r.settings.mqtt, MqttSettings{}) << c.line;
    EXPECT_FALSE(r.settings.sources.mqtt) << c.line;
  }
}

TEST(MqttSettings, KeysThatCannotWorkTogetherAreSaid) {
  SettingsFileResult r = Parse("Volume=20\nSources=tty,mqtt\n");
  EXPECT_EQ(r.messages, (Messages{"hc.conf:2: Sources names mqtt, but no Mqtt=mqtt://host is set; "
                                  "no calls come from other machines"}));
  EXPECT_TRUE(r.settings.sources.mqtt);
  r = Parse("Mqtt=mqtt://broker.lan\nMqttPasswordFile=/pw\nMqttCaFile=/ca.pem\n");
  EXPECT_EQ(r.messages,
            (Messages{"hc.conf:2: MqttPasswordFile is set, but Mqtt names no user "
                      "(mqtt://user@host); the password is not used",
                      "hc.conf:3: MqttCaFile is set, but Mqtt is not an mqtts:// address; the CA "
                      "file is not used"}));
  r = Parse("Mqtt=mqtts://hc@broker.lan\nMqttPasswordFile=/pw\nMqttCaFile=/ca.pem\nSources=mqtt");
  EXPECT_EQ(r.messages, Messages{});
}

TEST(MqttSettings, ReloadReconnectsForMqttKeysAlone) {
  auto parse = [](std::string_view text) { return Parse(text).settings; };
  const ServiceSettings base = parse("Mqtt=mqtt://broker.lan");
  struct Case {
    std::string text;
    std::vector<std::string> changes;
    bool mqttChanged;
  };
  const std::vector<Case> cases = {
      {"Mqtt=mqtt://broker.lan:1883", {}, false},
      {"Mqtt=mqtts://broker.lan",
       {"Mqtt mqtt://broker.lan:1883 -> mqtts://broker.lan:8883"}, true},
      {"", {"Mqtt mqtt://broker.lan:1883 -> (none)"}, true},
      {"Mqtt=mqtt://broker.lan\nMqttTopic=home/phone", {"MqttTopic hushcall -> home/phone"}, true},
      {"Mqtt=mqtt://broker.lan\nMqttCallerId=1", {"MqttCallerId 0 -> 1"}, true},
      {"Mqtt=mqtt://broker.lan\nMqttPasswordFile=/pw", {"MqttPasswordFile (none) -> /pw"}, true},
      {"Mqtt=mqtt://broker.lan\nSources=tty,mqtt", {"Sources tty -> tty,mqtt"}, true},
      {"Mqtt=mqtt://broker.lan\nVolume=3", {"Volume 50 -> 3"}, false},
      {"Mqtt=mqtt://broker.lan\nCallMonitor=fritz.box", {"CallMonitor (none) -> fritz.box:1012"},
       false},
  };
  for (const Case& c : cases) {
    const SettingsChange change = CompareSettings(base, parse(c.text));
    EXPECT_EQ(change.changes, c.changes) << c.text;
    EXPECT_EQ(change.mqttChanged, c.mqttChanged) << c.text;
    EXPECT_FALSE(change.portChanged) << c.text;
  }
}

}  // namespace
}  // namespace hushcall
