#include "tools/hushctl/arguments.h"

#include <cwchar>

namespace hushcall::hushctl {

std::optional<std::wstring> Arguments::Get(const std::wstring& name) const {
  auto it = options.find(name);
  if (it == options.end()) return std::nullopt;
  return it->second;
}

std::optional<long long> ParseNumber(const std::wstring& text) {
  if (text.empty()) return std::nullopt;
  wchar_t* end = nullptr;
  long long value = std::wcstoll(text.c_str(), &end, 0);
  if (end == text.c_str() || *end != L'\0') return std::nullopt;
  return value;
}

ParsedArguments ParseArguments(const std::vector<std::wstring>& argv) {
  ParsedArguments result;
  if (argv.empty()) {
    result.error = L"no action given";
    return result;
  }
  result.args.action = argv[0];
  for (size_t i = 1; i < argv.size(); ++i) {
    const std::wstring& token = argv[i];
    if (token.size() < 3 || token.compare(0, 2, L"--") != 0) {
      result.error = L"expected an option, got: " + token;
      return result;
    }
    if (i + 1 >= argv.size()) {
      result.error = L"missing value after " + token;
      return result;
    }
    result.args.options[token.substr(2)] = argv[++i];
  }
  return result;
}

}  // namespace hushcall::hushctl
