#include "player/command_line.h"

#include <cwchar>

namespace hushcall::player {

const wchar_t kUsage[] =
    L"player.exe [options]   stand-in player with the window class \"Winamp v1.x\"\n"
    L"  --plugins DIR          folder of gen_*.dll plug-ins (default: the exe's folder)\n"
    L"  --state S              playing | paused | stopped (default playing)\n"
    L"  --volume N             starting volume 0..255 (default 200)\n"
    L"  --log FILE             append one line per protocol message and plug-in event\n"
    L"  --config N             after init, open the configuration of plug-in N once\n"
    L"  --uninstall N          after init, remove plug-in N as the preferences do\n"
    L"  --exit-after-ms N      quit the plug-ins and exit after N ms\n"
    L"  --resource-log-ms N    log the process's handle count and private bytes every N ms\n"
    L"Messages: WM_USER lParam 122 sets the volume (wParam -666 asks it), lParam 104\n"
    L"answers 1/3/0 for playing/paused/stopped; WM_COMMAND 40045 play, 40046 pause\n"
    L"toggle, 40047 stop, 40001 quit, 41000+N configure plug-in N, 42000+N remove it.\n";

namespace {

std::optional<long long> ParseInteger(const std::wstring& text) {
  if (text.empty()) return std::nullopt;
  wchar_t* end = nullptr;
  long long value = std::wcstoll(text.c_str(), &end, 10);
  if (*end != L'\0') return std::nullopt;
  return value;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
  return out;
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::wstring>& args) {
  ParseResult result;
  PlayerOptions& o = result.options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::wstring& name = args[i];
    if (name == L"--help" || name == L"-h" || name == L"/?") {
      o.help = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      result.error = L"missing value after " + name;
      return result;
    }
    const std::wstring& value = args[++i];
    auto integer = [&](long long lo, long long hi) -> std::optional<int> {
      auto n = ParseInteger(value);
      if (!n || *n < lo || *n > hi) {
        result.error = L"bad number for " + name + L": " + value;
        return std::nullopt;
      }
      return static_cast<int>(*n);
    };
    if (name == L"--plugins") {
      o.pluginDir = value;
    } else if (name == L"--log") {
      o.logFile = value;
    } else if (name == L"--state") {
      auto state = ParsePlayState(Narrow(value));
      if (!state) {
        result.error = L"bad state: " + value;
        return result;
      }
      o.state = *state;
    } else if (name == L"--volume") {
      auto n = integer(0, 255);
      if (!n) return result;
      o.volume = *n;
    } else if (name == L"--config") {
      auto n = integer(0, 998);
      if (!n) return result;
      o.configPlugin = *n;
    } else if (name == L"--uninstall") {
      auto n = integer(0, 998);
      if (!n) return result;
      o.uninstallPlugin = *n;
    } else if (name == L"--exit-after-ms") {
      auto n = integer(0, 0x7FFFFFFF);
      if (!n) return result;
      o.exitAfterMs = *n;
    } else if (name == L"--resource-log-ms") {
      auto n = integer(1, 0x7FFFFFFF);
      if (!n) return result;
      o.resourceLogMs = *n;
    } else {
      result.error = L"unknown option: " + name;
      return result;
    }
  }
  return result;
}

}  // namespace hushcall::player
