// The Sip keys of the settings file: the account, where to register, the
// sign-in name and the password file, each bad line said once and left at
// its default.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings_file.h"

namespace hushcall {
namespace {

using Messages = std::vector<std::string>;

SettingsFileResult Parse(std::string_view text) { return ParseSettingsFile(text, "hc.conf"); }

TEST(SipSettings, EveryKeyReadsTogetherAndTheRegistrarTakesItsTransportsPort) {
  SettingsFileResult r = Parse(
      "Sources=tty,sip\n"
      "SipAccount=sip:hushcall@pbx.lan\n"
      "SipRegistrar=192.168.1.2:5080;transport=tcp\n"
      "SipUser=604\n"
      "SipPasswordFile=/home/u/.config/hushcall/sip.password\n");
  EXPECT_EQ(r.messages, Messages{});
  EXPECT_EQ(SourcesText(r.settings.sources), "tty,sip");
  const SipSettings& sip = r.settings.sip;
  EXPECT_EQ(sip.account, (SipAccount{false, "hushcall", "pbx.lan"}));
  EXPECT_EQ(SipAccountText(sip.account), "sip:hushcall@pbx.lan");
  EXPECT_EQ(SipRegistrarText(sip.registrar), "192.168.1.2:5080;transport=tcp");
  EXPECT_EQ(sip.user, "604");
  EXPECT_EQ(sip.passwordFile, "/home/u/.config/hushcall/sip.password");

  struct Case {
    std::string text;
    std::string registrar;  // where it registers
  };
  const std::vector<Case> cases = {
      {"SipAccount=sip:h@pbx.lan", "pbx.lan:5060;transport=udp"},
      {"SipAccount=sips:h@pbx.lan", "pbx.lan:5061;transport=tls"},
      {"SipAccount=sip:h@[fd00::3]", "[fd00::3]:5060;transport=udp"},
      {"SipAccount=sip:h@pbx.lan\nSipRegistrar=[fd00::3];transport=tls",
       "[fd00::3]:5061;transport=tls"},
      {"SipAccount=sip:h@pbx.lan\nSipRegistrar=proxy.lan:5070", "proxy.lan:5070;transport=udp"},
  };
  for (const Case& c : cases) {
    r = Parse(c.text);
    EXPECT_EQ(r.messages, Messages{}) << c.text;
    EXPECT_EQ(SipRegistrarText(EffectiveSipRegistrar(r.settings.sip)), c.registrar) << c.text;
  }
}

TEST(SipSettings, BadValueGivesOneMessageAndTheDefault) {
  struct Case {
    std::string line;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"SipAccount=hushcall@pbx.lan",
       "SipAccount='hushcall@pbx.lan' is not sip:user@domain or sips:user@domain, such as "
       "sip:hushcall@pbx.lan (the password goes in SipPasswordFile); using the default, none: "
       "SIP is off"},
      {"SipAccount=sip:pbx.lan", "SipAccount='sip:pbx.lan' is not"},
      {"SipAccount=sip:@pbx.lan", "SipAccount='sip:@pbx.lan' is not"},
      // A password in the address is refused, not taken.
      {"SipAccount=sip:h:pw@pbx.lan", "SipAccount='sip:h:pw@pbx.lan' is not"},
      {"SipAccount=sip:h@pbx.lan:5060", "SipAccount='sip:h@pbx.lan:5060' is not"},
      {"SipAccount=sip:h@pbx lan", "SipAccount='sip:h@pbx lan' is not"},
      {"SipRegistrar=pbx.lan;transport=sctp",
       "SipRegistrar='pbx.lan;transport=sctp' is not host[:port][;transport=udp|tcp|tls], such "
       "as pbx.lan, 192.168.1.2:5080 or [fd00::3];transport=tcp; using the default, none: the "
       "account's domain"},
      {"SipRegistrar=pbx.lan:0", "SipRegistrar='pbx.lan:0' is not"},
      {"SipRegistrar=sip:pbx.lan", "SipRegistrar='sip:pbx.lan' is not"},
      {"SipUser=a b", "SipUser='a b' is not a name without blanks, @ or :; using the default, "
                      "none: the account's user"},
      {"SipPasswordFile=sip.pw", "SipPasswordFile='sip.pw' is not an absolute path; using the "
                                 "default, none: no password"},
      {"Sources=sip,tty,sip", "Sources='sip,tty,sip' is not"},
  };
  for (const Case& c : cases) {
    const std::string key = c.line.substr(0, c.line.find('='));
    // An earlier good line for the same key: the bad one must not keep it.
    const std::string good = key == "SipAccount"     ? "SipAccount=sips:other@pbx.lan"
                             : key == "SipRegistrar" ? "SipRegistrar=proxy.lan;transport=tcp"
                             : key == "SipUser"      ? "SipUser=604"
                             : key == "Sources"      ? "Sources=sip"
                                                     : key + "=/good";
    // The account keeps the others in use, so that only the bad value speaks.
    const std::string account = key == "SipAccount" ? "" : "SipAccount=sip:h@pbx.lan\n";
    const SettingsFileResult r = Parse(account + good + "\n" + c.line + "\n");
    const std::size_t line = account.empty() ? 2 : 3;
    ASSERT_EQ(r.messages.size(), 2u) << c.line;  // the repeat, then the value
    EXPECT_EQ(r.messages[1].rfind("hc.conf:" + std::to_string(line) + ": " + c.message, 0), 0u)
        << r.messages[1];
    SipSettings expected;
    if (!account.empty()) expected.account = {false, "h", "pbx.lan"};
    EXPECT_EQ(r.settings.sip, expected) << c.line;
    EXPECT_FALSE(r.settings.sources.sip) << c.line;
  }
}

TEST(SipSettings, KeysThatCannotWorkTogetherAreSaid) {
  SettingsFileResult r = Parse("Sources=sip\nSipUser=604\nSipPasswordFile=/pw\nSipRegistrar=pbx");
  EXPECT_EQ(r.messages,
            (Messages{"hc.conf:1: Sources names sip, but no SipAccount=sip:user@domain is set; "
                      "no calls come from a SIP phone system",
                      "hc.conf:4: SipRegistrar is set, but no SipAccount is; it is not used",
                      "hc.conf:2: SipUser is set, but no SipAccount is; it is not used",
                      "hc.conf:3: SipPasswordFile is set, but no SipAccount is; it is not used"}));
  r = Parse("SipAccount=sips:h@pbx.lan\nSipRegistrar=pbx.lan;transport=udp\n");
  EXPECT_EQ(r.messages, (Messages{"hc.conf:2: SipRegistrar names a transport other than tls, but "
                                  "SipAccount is a sips: address, which is reached over TLS "
                                  "alone; tls is used"}));
  EXPECT_EQ(SipRegistrarText(EffectiveSipRegistrar(r.settings.sip)), "pbx.lan:5061;transport=tls");
  // Empty values are no value, as without the key.
  r = Parse("SipUser=\nSipPasswordFile=\nSipRegistrar=\n");
  EXPECT_EQ(r.messages, Messages{});
}

TEST(SipSettings, ReloadRegistersAnewForSipKeysAlone) {
  auto parse = [](std::string_view text) { return Parse(text).settings; };
  const ServiceSettings base = parse("SipAccount=sip:h@pbx.lan");
  struct Case {
    std::string text;
    std::vector<std::string> changes;
    bool sipChanged;
  };
  const std::vector<Case> cases = {
      {"SipAccount=sip:h@pbx.lan\nSipRegistrar=pbx.lan:5060;transport=udp",
       {"SipRegistrar (none) -> pbx.lan:5060;transport=udp"}, false},
      {"SipAccount=sips:h@pbx.lan", {"SipAccount sip:h@pbx.lan -> sips:h@pbx.lan"}, true},
      {"", {"SipAccount sip:h@pbx.lan -> (none)"}, true},
      {"SipAccount=sip:h@pbx.lan\nSipUser=604", {"SipUser (none) -> 604"}, true},
      {"SipAccount=sip:h@pbx.lan\nSipPasswordFile=/pw", {"SipPasswordFile (none) -> /pw"}, true},
      {"SipAccount=sip:h@pbx.lan\nSipRegistrar=pbx.lan;transport=tcp",
       {"SipRegistrar (none) -> pbx.lan:5060;transport=tcp"}, true},
      {"SipAccount=sip:h@pbx.lan\nSources=tty,sip", {"Sources tty -> tty,sip"}, true},
      {"SipAccount=sip:h@pbx.lan\nVolume=3", {"Volume 50 -> 3"}, false},
  };
  for (const Case& c : cases) {
    const SettingsChange change = CompareSettings(base, parse(c.text));
    EXPECT_EQ(change.changes, c.changes) << c.text;
    EXPECT_EQ(change.sipChanged, c.sipChanged) << c.text;
    EXPECT_FALSE(change.mqttChanged || change.portChanged) << c.text;
  }
}

}  // namespace
}  // namespace hushcall
