// hushctl's actions: each finds its window, does one thing, prints its
// result and answers 0 on success, 1 on failure or timeout.
#pragma once

#include <string>

#include "tools/hushctl/arguments.h"

namespace hushcall::hushctl {

// Where results and errors go; the tool writes them as UTF-8.
struct Output {
  std::wstring out;
  std::wstring err;
};

int RunAction(const Arguments& args, Output& output);

extern const wchar_t kHelp[];

}  // namespace hushcall::hushctl
