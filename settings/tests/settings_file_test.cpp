// The service's settings file: its text rules, its messages, and what a
// reload reports.
#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/setting_keys.h"
#include "tests/support/memory_store.h"

namespace hushcall {
namespace {

using Messages = std::vector<std::string>;

SettingsFileResult Parse(std::string_view text) { return ParseSettingsFile(text, "hc.conf"); }

std::string TextOf(const ServiceSettings& s, std::string_view key) {
  return FindSettingKey(key)->text(s.record);
}

TEST(SettingsFile, NoTextGivesTheDefaultsWithTheWatchOn) {
  const SettingsFileResult r = Parse("");
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(r.settings.record.Action, 122);
  EXPECT_EQ(r.settings.record.Volume, 50);
  EXPECT_FALSE(r.settings.record.Percent);
  EXPECT_FALSE(r.settings.record.Popup);
  EXPECT_TRUE(r.settings.record.Enabled);
  EXPECT_EQ(r.settings.record.COMPort, 1);
  EXPECT_EQ(r.settings.sources, (RingSources{true, false, false}));
  EXPECT_TRUE(r.settings.restore);
  EXPECT_EQ(r.settings.callMonitor, CallMonitorAddress{});
  EXPECT_TRUE(r.settings.numbers.empty());
  EXPECT_FALSE(r.settings.outgoing);
  EXPECT_FALSE(r.settings.callerId);
  EXPECT_EQ(TtyPath(r.settings), "/dev/ttyS0");
  // Every field counts as known, as after a load.
  for (const SettingKey& key : SettingKeys()) EXPECT_TRUE(key.known(r.settings.record)) << key.name;
}

TEST(SettingsFile, CleanFileWithBlanksCommentsAndCrlfReadsEveryKey) {
  const SettingsFileResult r = Parse(
      "# a comment\r\n"
      "\n"
      "   # an indented comment\n"
      "Action = 40046\r\n"
      "\tVolume=\t30 \n"
      "Percent=1\n"
      "Popup= 0.6\n"
      "Enabled=0\n"
      "COMPort=3.5\n"
      "Device = /dev/ttyACM0\n"
      "Sources= modemmanager , tty,callmonitor\n"
      "Restore = 0\n"
      "CallMonitor = fritz.box\n"
      "Numbers = 987654, +49301234567 ,**610\n"
      "Outgoing=1\n"
      "CallerId = 1");  // no line feed at the end
  EXPECT_EQ(r.messages, Messages{});
  EXPECT_EQ(r.settings.record.Action, 40046);
  EXPECT_EQ(r.settings.record.Volume, 30);
  EXPECT_TRUE(r.settings.record.Percent);
  EXPECT_TRUE(r.settings.record.Popup);  // any non-zero leading number
  EXPECT_FALSE(r.settings.record.Enabled);
  EXPECT_EQ(r.settings.record.COMPort, 4);  // a half goes to the even one
  EXPECT_EQ(TtyPath(r.settings), "/dev/ttyACM0");
  EXPECT_EQ(r.settings.sources, (RingSources{true, true, true}));
  EXPECT_FALSE(r.settings.restore);
  EXPECT_EQ(r.settings.callMonitor, (CallMonitorAddress{"fritz.box", 1012}));
  EXPECT_EQ(r.settings.numbers, (std::vector<std::string>{"987654", "+49301234567", "**610"}));
  EXPECT_TRUE(r.settings.outgoing);
  EXPECT_TRUE(r.settings.callerId);
}

TEST(SettingsFile, CallMonitorTakesNamesAndAddressesWithOrWithoutAPort) {
  const std::vector<std::pair<std::string, CallMonitorAddress>> cases = {
      {"fritz.box", {"fritz.box", 1012}},
      {"192.168.178.1:1013", {"192.168.178.1", 1013}},
      {"my-router.lan:65535", {"my-router.lan", 65535}},
      {"fd00::1", {"fd00::1", 1012}},
      {"[fd00::1]", {"fd00::1", 1012}},
      {"[::1]:2000", {"::1", 2000}},
  };
  for (const auto& [text, address] : cases) {
    const SettingsFileResult r = Parse("CallMonitor=" + text);
    EXPECT_EQ(r.messages, Messages{}) << text;
    EXPECT_EQ(r.settings.callMonitor, address) << text;
  }
  EXPECT_EQ(CallMonitorText({"fd00::1", 1012}), "[fd00::1]:1012");
  EXPECT_EQ(CallMonitorText({"fritz.box", 7}), "fritz.box:7");
  EXPECT_EQ(CallMonitorText({}), "");
}

// The file must read every accepted text as the plug-in's store does, with
// "." as the separator whatever the locale.
TEST(SettingsFile, ReadsValuesAsTheStoreLoadDoes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Action", "-7"},     {"Action", "2.5"},   {"Action", "+40047"}, {"Volume", "0"},
      {"Volume", "254.5"},  {"Percent", "-0.1"}, {"Popup", "0"},       {"Enabled", "2e3"},
      {"COMPort", "0"},     {"COMPort", "9x"},   {"COMPort", "1e2"}};
  for (const auto& [key, text] : cases) {
    const SettingsFileResult r = Parse(key + "=" + text);
    MemorySettingsStore store;
    store.Set(key, text);
    Settings loaded;
    LoadSettings(loaded, store, ".");
    EXPECT_EQ(r.messages, Messages{}) << key << "=" << text;
    EXPECT_EQ(TextOf(r.settings, key), FindSettingKey(key)->text(loaded)) << key << "=" << text;
  }
}

// One message each, naming the file, the line, the key and what is
// accepted; the key falls back to its default, even over an earlier line.
TEST(SettingsFile, BadValueGivesOneMessageAndTheDefault) {
  struct Case {
    std::string line;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"Action=abc", "Action='abc' is not a whole number: 122 lowers the volume, 40046 pauses, "
                     "40047 stops; using the default, 122"},
      {"Action=1,5", "Action='1,5' is not a whole number"},
      {"Action=", "Action='' is not a whole number"},
      {"Action=99999999999", "Action='99999999999' is not a whole number"},
      {"Volume=256", "Volume='256' is not a whole number 0..255; using the default, 50"},
      {"Volume=-1", "Volume='-1' is not a whole number 0..255"},
      {"Enabled=yes", "Enabled='yes' is not a number: 0 is off, any other on; using the default, 1"},
      {"Popup=", "Popup='' is not a number: 0 is off, any other on; using the default, 0"},
      {"COMPort=300", "COMPort='300' is not a number 0..255, rounded; using the default, 1"},
      {"Device=ttyUSB0", "Device='ttyUSB0' is not an absolute path such as /dev/ttyACM0; using "
                         "the default, none: COMPort names the port"},
      {"Sources=", "Sources='' is not tty, modemmanager, callmonitor, mqtt or sip, or several of "
                   "them joined by commas; using the default, tty"},
      {"Sources=callmonitor,tty,callmonitor", "Sources='callmonitor,tty,callmonitor' is not"},
      {"Sources=tty,tty", "Sources='tty,tty' is not"},
      {"Sources=tty,", "Sources='tty,' is not"},
      {"Sources=TTY", "Sources='TTY' is not"},
      {"Restore=no", "Restore='no' is not a number: 0 is off, any other on; using the default, 1"},
      {"Restore=", "Restore='' is not a number"},
      {"Outgoing=on", "Outgoing='on' is not a number: 0 is off, any other on; using the default, 0"},
      {"CallerId=yes", "CallerId='yes' is not a number: 0 is off, any other on; using the default, 0"},
      {"CallMonitor=", "CallMonitor='' is not a host name or address with an optional port, such "
                       "as fritz.box, 192.168.178.1:1012 or [fd00::1]:1012; using the default, none"},
      {"CallMonitor=fritz.box:", "CallMonitor='fritz.box:' is not"},
      {"CallMonitor=fritz.box:0", "CallMonitor='fritz.box:0' is not"},
      {"CallMonitor=fritz.box:65536", "CallMonitor='fritz.box:65536' is not"},
      {"CallMonitor=fritz.box:http", "CallMonitor='fritz.box:http' is not"},
      {"CallMonitor=fritz box", "CallMonitor='fritz box' is not"},
      {"CallMonitor=-x", "CallMonitor='-x' is not"},
      {"CallMonitor=[fd00::1", "CallMonitor='[fd00::1' is not"},
      {"CallMonitor=[fd00::1]1012", "CallMonitor='[fd00::1]1012' is not"},
      {"CallMonitor=[fritz.box]:1012", "CallMonitor='[fritz.box]:1012' is not"},
      {"Numbers=987654,,123", "Numbers='987654,,123' is not a comma-separated list of phone "
                              "numbers (digits, +, * and #); using the default, none: every call "
                              "counts"},
      {"Numbers=98 76", "Numbers='98 76' is not"},
      {"Numbers=SIP0", "Numbers='SIP0' is not"},
  };
  for (const Case& c : cases) {
    const std::string key = c.line.substr(0, c.line.find('='));
    // An earlier good line for the same key: the bad one must not keep it.
    const std::string good = key == "Device"        ? "Device=/dev/ttyUSB1"
                             : key == "Sources"     ? "Sources=modemmanager"
                             : key == "CallMonitor" ? "CallMonitor=fritz.box"
                             : key == "Outgoing" || key == "CallerId" ? key + "=1"
                             : key == "Enabled" || key == "Restore" ? key + "=0"
                                                                     : key + "=3";
    const SettingsFileResult r = Parse("\n" + good + "\n" + c.line + "\n");
    ASSERT_EQ(r.messages.size(), 2u) << c.line;  // the repeat, then the value
    EXPECT_EQ(r.messages[1].rfind("hc.conf:3: " + c.message, 0), 0u) << r.messages[1];
    const ServiceSettings defaults = DefaultServiceSettings();
    if (FindSettingKey(key) != nullptr) {
      EXPECT_EQ(TextOf(r.settings, key), TextOf(defaults, key)) << c.line;
    }
    EXPECT_EQ(TtyPath(r.settings), TtyPath(defaults)) << c.line;
    EXPECT_EQ(r.settings.sources, defaults.sources) << c.line;
    EXPECT_EQ(r.settings.restore, defaults.restore) << c.line;
    EXPECT_EQ(r.settings.callMonitor, defaults.callMonitor) << c.line;
    EXPECT_EQ(r.settings.numbers, defaults.numbers) << c.line;
    EXPECT_EQ(r.settings.outgoing, defaults.outgoing) << c.line;
    EXPECT_EQ(r.settings.callerId, defaults.callerId) << c.line;
  }
}

TEST(SettingsFile, TheCallMonitorAsASourceNeedsItsAddress) {
  SettingsFileResult r = Parse("Sources=tty,callmonitor\nVolume=20\n");
  EXPECT_EQ(r.messages, (Messages{"hc.conf:1: Sources names callmonitor, but no CallMonitor=host "
                                  "is set; the call monitor is not watched"}));
  EXPECT_TRUE(r.settings.sources.callMonitor);
  r = Parse("CallMonitor=fritz.box\nSources=callmonitor\nNumbers=\n");
  EXPECT_EQ(r.messages, Messages{});
  EXPECT_TRUE(r.settings.numbers.empty());
}

TEST(SettingsFile, LinesThatAreNotSettingsAreNamedAndSkipped) {
  const SettingsFileResult r = Parse(
      "Volume=20\n"
      "volume=30\n"          // keys keep their case
      "Volume 40\n"          // no '='
      "=5\n"
      "# Volume=60\n"
      "Volume=70\n");
  EXPECT_EQ(r.messages,
            (Messages{"hc.conf:2: unknown key 'volume' (the keys are Action, Volume, Percent, "
                      "Popup, Enabled, COMPort, Device, Sources, Restore, CallMonitor, Numbers, "
                      "Outgoing, CallerId, Mqtt, MqttPasswordFile, MqttCaFile, MqttTopic, "
                      "MqttDiscovery, MqttCallerId, SipAccount, SipRegistrar, SipUser, "
                      "SipPasswordFile); ignored",
                      "hc.conf:3: 'Volume 40' is not a Key=value line; ignored",
                      "hc.conf:4: unknown key '' (the keys are Action, Volume, Percent, Popup, "
                      "Enabled, COMPort, Device, Sources, Restore, CallMonitor, Numbers, "
                      "Outgoing, CallerId, Mqtt, MqttPasswordFile, MqttCaFile, MqttTopic, "
                      "MqttDiscovery, MqttCallerId, SipAccount, SipRegistrar, SipUser, "
                      "SipPasswordFile); ignored",
                      "hc.conf:6: Volume is also set on line 1; this line wins"}));
  EXPECT_EQ(r.settings.record.Volume, 70);
}

TEST(SettingsFile, ReloadReportsChangesAndWhetherThePortMustReopen) {
  auto parse = [](std::string_view text) { return Parse(text).settings; };
  const ServiceSettings base = parse("");
  struct Case {
    std::string text;
    bool portChanged;
    std::vector<std::string> changes;
    bool callMonitorChanged = false;
  };
  const std::vector<Case> cases = {
      {"", false, {}},
      {"Volume=30\nPopup=1", false, {"Volume 50 -> 30", "Popup 0 -> 1"}},
      {"Enabled=0", false, {"Enabled 1 -> 0"}},
      {"COMPort=2", true, {"COMPort 1 -> 2"}},
      {"Device=/dev/ttyACM0", true, {"Device (from COMPort) -> /dev/ttyACM0"}},
      // The same port by another name: nothing to reopen.
      {"Device=/dev/ttyS0", false, {"Device (from COMPort) -> /dev/ttyS0"}},
      {"Sources=tty,modemmanager", true, {"Sources tty -> tty,modemmanager"}},
      {"Restore=0", false, {"Restore 1 -> 0"}},
      // The call monitor reconnects for its own address alone.
      {"Sources=tty,callmonitor", false, {"Sources tty -> tty,callmonitor"}, true},
      {"CallMonitor=fritz.box", false, {"CallMonitor (none) -> fritz.box:1012"}, true},
      {"Numbers=1,2\nOutgoing=1", false, {"Numbers (all) -> 1,2", "Outgoing 0 -> 1"}},
      // The modem is asked for caller ID as it is reset: the tty is opened anew.
      {"CallerId=1", true, {"CallerId 0 -> 1"}},
  };
  for (const Case& c : cases) {
    const SettingsChange change = CompareSettings(base, parse(c.text));
    EXPECT_EQ(change.portChanged, c.portChanged) << c.text;
    EXPECT_EQ(change.callMonitorChanged, c.callMonitorChanged) << c.text;
    EXPECT_EQ(change.changes, c.changes) << c.text;
  }
  // With a device named, COMPort no longer chooses the port.
  EXPECT_FALSE(CompareSettings(parse("Device=/dev/ttyACM0"), parse("Device=/dev/ttyACM0\nCOMPort=5"))
                   .portChanged);
  EXPECT_EQ(TtyPath(parse("COMPort=0")), "");
}

}  // namespace
}  // namespace hushcall
