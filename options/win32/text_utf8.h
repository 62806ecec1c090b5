// The model speaks UTF-8; the controls hold UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace hushcall {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

}  // namespace hushcall
