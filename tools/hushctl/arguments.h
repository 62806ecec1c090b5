// hushctl's command line: an action name, then "--name value" options.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace hushcall::hushctl {

struct Arguments {
  std::wstring action;
  std::map<std::wstring, std::wstring> options;  // without the leading "--"

  bool Has(const std::wstring& name) const { return options.count(name) != 0; }
  std::optional<std::wstring> Get(const std::wstring& name) const;
};

struct ParsedArguments {
  Arguments args;
  std::wstring error;  // empty on success
};

// `argv` excludes the program name.
ParsedArguments ParseArguments(const std::vector<std::wstring>& argv);

// Decimal or 0x-hex, with an optional minus sign; nullopt if not a number.
std::optional<long long> ParseNumber(const std::wstring& text);

}  // namespace hushcall::hushctl
