#include "tools/modemsim/options.h"

#include <charconv>
#include <functional>
#include <map>

namespace hushcall::modemsim {
namespace {

constexpr long long kMaxCount = 1000000;
constexpr long long kMaxMillis = 24LL * 3600 * 1000;

bool ReadNumber(const std::string& text, long long max, long long& value) {
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && ptr == text.data() + text.size() && value >= 0 && value <= max;
}

std::optional<AnswerMode> ReadAnswerMode(const std::string& text) {
  if (text == "ok") return AnswerMode::kOk;
  if (text == "none") return AnswerMode::kNone;
  if (text == "cr-only") return AnswerMode::kCrOnly;
  if (text == "lowercase") return AnswerMode::kLowercase;
  return std::nullopt;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  ParsedCommandLine result;
  Options o;

  using Flag = std::function<void()>;
  const std::map<std::string, Flag> flags = {
      {"--no-echo", [&] { o.echo = false; }},
      {"--noise", [&] { o.shaping.noise = true; }},
      {"--pieces", [&] { o.shaping.pieces = true; }},
      {"--no-wait-init", [&] { o.waitInit = false; }},
      {"--exit-after-calls", [&] { o.exitAfterCalls = true; }},
  };
  using Setter = std::function<bool(const std::string&)>;
  auto millis = [](Millis& field) {
    return [&field](const std::string& v) {
      long long n = 0;
      if (!ReadNumber(v, kMaxMillis, n)) return false;
      field = Millis(n);
      return true;
    };
  };
  auto count = [](int& field) {
    return [&field](const std::string& v) {
      long long n = 0;
      if (!ReadNumber(v, kMaxCount, n)) return false;
      field = static_cast<int>(n);
      return true;
    };
  };
  auto text = [](std::string& field) {
    return [&field](const std::string& v) {
      field = v;
      return !v.empty();
    };
  };
  const std::map<std::string, Setter> valued = {
      {"--link", text(o.link)},
      {"--transcript", text(o.transcript)},
      {"--control", text(o.control)},
      {"--reply-delay-ms", millis(o.replyDelay)},
      {"--slow-ms", millis(o.replyDelay)},
      {"--piece-gap-ms", millis(o.shaping.pieceGap)},
      {"--calls", count(o.plan.calls)},
      {"--rings", count(o.plan.rings)},
      {"--ring-interval-ms", millis(o.plan.ringInterval)},
      {"--call-gap-ms", millis(o.plan.callGap)},
      {"--first-ring-ms", millis(o.plan.firstRing)},
      {"--hangup-after-ms", millis(o.hangupAfter)},
      {"--caller",
       [&](const std::string& v) {
         o.caller = ParseCallerId(v);
         return o.caller.has_value();
       }},
      {"--vcid-answer",
       [&](const std::string& v) {
         if (v != "ok" && v != "error") return false;
         o.callerIdMode = v == "ok" ? CallerIdMode::kOk : CallerIdMode::kError;
         return true;
       }},
      {"--answer",
       [&](const std::string& v) {
         auto mode = ReadAnswerMode(v);
         if (mode) o.answer = *mode;
         return mode.has_value();
       }},
  };

  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> value;
    // Both "--opt value" and "--opt=value" are accepted.
    if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    }
    if (name == "--help" || name == "-h") {
      result.help = true;
      return result;
    }
    if (auto f = flags.find(name); f != flags.end() && !value) {
      f->second();
      continue;
    }
    auto s = valued.find(name);
    if (s == valued.end()) {
      result.error = "unknown option: " + args[i];
      return result;
    }
    if (!value) {
      if (i + 1 == args.size()) {
        result.error = name + " needs a value";
        return result;
      }
      value = args[++i];
    }
    if (!s->second(*value)) {
      result.error = "bad value for " + name + ": " + *value;
      return result;
    }
  }
  if (o.link.empty()) {
    result.error = "--link PATH is required";
    return result;
  }
  result.options = std::move(o);
  return result;
}

const char* UsageText() {
  return R"(usage: modemsim --link PATH [options]

Plays a Hayes modem on a pseudo-terminal, so that Hushcall can be tried and
tested without a modem. The pty's slave is linked at PATH (for Wine, e.g.
$WINEPREFIX/dosdevices/com5 maps COM5); "ready <slave path>" is printed on
standard output once the link exists. SIGTERM or SIGINT removes the link and
exits with status 0.

The line:
  --link PATH              symlink to the pty slave (required; an existing
                           link is replaced, and removed at exit)
  --transcript FILE        time-stamped transcript (default: standard error),
                           one line per event: "<unix microseconds> <tag> <text>"
                           with tags rx (read from the PC), tx (written to the
                           line), ev (events); bytes escaped as \r \n \xNN
Answers to "AT..." CR commands (ATZ, AT, ATE0/ATE1 and any other AT command
answer OK; other lines are ignored):
  --reply-delay-ms N       delay before answering a command (default 50)
  --slow-ms N              a slow modem: the same as --reply-delay-ms N
  --no-echo                start with echo off (default: echo commands as
                           received); ATZ restores the echo we started with
  --answer MODE            ok (CR LF "OK" CR LF, default) | none (never answer)
                           | cr-only ("OK" CR) | lowercase (CR LF "ok" CR LF)
  --noise                  junk result lines (NO CARRIER, random text) before
                           each result line
  --pieces                 every result line in pieces with pauses
                           ("RI", "NG", CR, LF)
  --piece-gap-ms N         pause between pieces (default 5)
Caller ID (AT+VCID=1 asks for it; ATZ or AT+VCID=0 turns it off):
  --caller NUMBER[,NAME]   after each call's first ring, once caller ID is on,
                           send CR LF then "DATE = MMDD", "TIME = HHMM",
                           "NMBR = NUMBER" and "NAME = NAME" (when given), each
                           ended by CR LF; P as the number or name says
                           withheld, O unavailable
  --vcid-answer MODE       ok (default) | error: answer AT+VCID ERROR, as a
                           modem without caller ID does
Incoming calls (each ring report is exactly "RING" CR LF):
  --calls N                calls to play (default 0)
  --rings N                rings per call (default 3)
  --ring-interval-ms N     between the rings of a call (default 6000)
  --call-gap-ms N          from a call's last ring to the next call's first
                           ring (default 15000)
  --first-ring-ms N        from the script's start to the first ring
                           (default 1000)
  --no-wait-init           start the call script at once, not at the first
                           answer to a command (with --answer none the script
                           never starts otherwise)
  --hangup-after-ms N      close the line N ms after the call script ends
                           (with no calls it ends as it starts); 0 = never
  --exit-after-calls       exit once the call script has ended, and after the
                           hangup if one is asked for
  --control PATH           create a FIFO at PATH and read commands from it,
                           one per line: "ring", "ring N GAP_MS",
                           "send TEXT" (C escapes \r \n \xNN), "pause MS"
                           (what is sent or rung next goes out MS ms after
                           the output before it), "hangup", "quit"
  --help                   this text

Example, with Wine:
  modemsim --link "$WINEPREFIX/dosdevices/com5" --calls 2 --control /tmp/modem
  echo ring > /tmp/modem
)";
}

}  // namespace hushcall::modemsim
