// hushctl.exe: drives other programs' windows like a person, one action
// per run, for the end-to-end tests.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "common/win32/utf.h"
#include "tools/hushctl/actions.h"
#include "tools/hushctl/arguments.h"

using namespace hushcall::hushctl;

namespace {

void WriteUtf8(DWORD which, const std::wstring& text) {
  if (text.empty()) return;
  const std::string bytes = hushcall::win32::NarrowToUtf8(text);
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(which), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int wmain() {
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::wstring> args;
  for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
  ::LocalFree(argv);

  if (args.empty() || args[0] == L"--help" || args[0] == L"-h" || args[0] == L"help") {
    WriteUtf8(STD_OUTPUT_HANDLE, kHelp);
    return args.empty() ? 1 : 0;
  }
  Output output;
  int code = 1;
  try {
    ParsedArguments parsed = ParseArguments(args);
    if (!parsed.error.empty()) output.err = L"hushctl: " + parsed.error + L"\n";
    else code = RunAction(parsed.args, output);
  } catch (...) {
    output.err += L"hushctl: unexpected failure\n";
    code = 1;
  }
  WriteUtf8(STD_OUTPUT_HANDLE, output.out);
  WriteUtf8(STD_ERROR_HANDLE, output.err);
  return code;
}
