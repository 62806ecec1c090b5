#include "host/start_failure.h"

#include "common/status.h"
#include "host/library_edition.h"

namespace hushcall::host {
namespace {

std::wstring SystemText(HRESULT hr) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason(text ? text : L"", n);
  ::LocalFree(text);
  // The system's texts end in a line break.
  while (!reason.empty() && (reason.back() == L'\r' || reason.back() == L'\n' || reason.back() == L' '))
    reason.pop_back();
  return reason;
}

}  // namespace

std::wstring StartFailureText(HRESULT hr) {
  std::wstring reason;
  // A stored setting the conversions refuse; the system may have no text.
  if (hr == kTypeMismatch) reason = L"a stored setting has the wrong type (type mismatch).";
  else if (hr == kOverflow) reason = L"a stored setting is out of range (overflow).";
  else if (hr == kLibraryOfOtherEdition)
    reason = std::wstring(L"Hushcall.dll beside this plug-in is the ") +
             win32::EditionName(win32::OtherEdition(win32::kThisEdition)) + L" build.";
  else reason = SystemText(hr);
  if (reason.empty()) {
    wchar_t number[32];
    ::wsprintfW(number, L"error 0x%08X.", static_cast<unsigned>(hr));
    reason = number;
  }
  return L"Hushcall could not start: " + reason;
}

}  // namespace hushcall::host
