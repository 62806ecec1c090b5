#include "tools/hushctl/windows.h"

namespace hushcall::hushctl {

namespace {

constexpr unsigned kQueryTimeoutMs = 5000;
constexpr unsigned kPollMs = 20;

std::wstring WindowCaption(HWND window) {
  wchar_t buffer[512];
  int n = ::GetWindowTextW(window, buffer, 512);
  return std::wstring(buffer, n > 0 ? n : 0);
}

bool Matches(HWND window, const WindowQuery& wanted) {
  if (wanted.handle && window != wanted.handle) return false;
  if (!wanted.className.empty() && ClassOf(window) != wanted.className) return false;
  if (!wanted.title.empty() && WindowCaption(window) != wanted.title) return false;
  return true;
}

std::wstring WithoutMnemonics(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&' && i + 1 < text.size()) ++i;  // "&&" stays one '&'
    out += text[i];
  }
  return out;
}

std::wstring Quoted(const std::wstring& text) {
  std::wstring out = L"\"";
  for (wchar_t c : text) {
    switch (c) {
      case L'"': out += L"\\\""; break;
      case L'\\': out += L"\\\\"; break;
      case L'\r': out += L"\\r"; break;
      case L'\n': out += L"\\n"; break;
      case L'\t': out += L"\\t"; break;
      default: out += c;
    }
  }
  return out + L"\"";
}

}  // namespace

std::wstring ClassOf(HWND window) {
  wchar_t buffer[256];
  int n = ::GetClassNameW(window, buffer, 256);
  return std::wstring(buffer, n > 0 ? n : 0);
}

namespace {

struct TopLevelSearch {
  const WindowQuery* wanted;
  HWND visible = nullptr;
  HWND any = nullptr;
};

BOOL CALLBACK CheckTopLevel(HWND window, LPARAM lparam) {
  auto* s = reinterpret_cast<TopLevelSearch*>(lparam);
  if (!Matches(window, *s->wanted)) return TRUE;
  if (!s->any) s->any = window;
  if (::IsWindowVisible(window)) {
    s->visible = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM lparam) {
  reinterpret_cast<std::vector<HWND>*>(lparam)->push_back(child);
  return TRUE;
}

}  // namespace

HWND FindTopLevel(const WindowQuery& wanted, bool visibleOnly) {
  TopLevelSearch search{&wanted};
  ::EnumWindows(CheckTopLevel, reinterpret_cast<LPARAM>(&search));
  return visibleOnly ? search.visible : (search.visible ? search.visible : search.any);
}

HWND WaitForWindow(const WindowQuery& wanted, WaitFor condition, unsigned timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    HWND found = FindTopLevel(wanted, condition == WaitFor::kVisible);
    if (condition == WaitFor::kGone) {
      if (!found) return reinterpret_cast<HWND>(1);
    } else if (found) {
      return found;
    }
    if (::GetTickCount64() >= deadline) return nullptr;
    ::Sleep(kPollMs);
  }
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> found;
  ::EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND FindControlById(HWND parent, int id) {
  if (HWND direct = ::GetDlgItem(parent, id)) return direct;
  // Controls inside a container window are not the dialog's own children.
  for (HWND child : Descendants(parent))
    if (::GetDlgCtrlID(child) == id) return child;
  return nullptr;
}

HWND FindControlByText(HWND parent, const std::wstring& text) {
  const std::wstring wanted = WithoutMnemonics(text);
  for (HWND child : Descendants(parent)) {
    auto caption = ControlText(child);
    if (caption && (*caption == text || WithoutMnemonics(*caption) == wanted)) return child;
  }
  return nullptr;
}

std::optional<std::wstring> ControlText(HWND control) {
  auto length = Query(control, WM_GETTEXTLENGTH, 0, 0);
  if (!length) return std::nullopt;
  std::wstring text(static_cast<size_t>(*length) + 1, L'\0');
  auto copied = Query(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  if (!copied) return std::nullopt;
  text.resize(static_cast<size_t>(*copied));
  return text;
}

RECT RectIn(HWND control, HWND dialog) {
  RECT rc{};
  ::GetWindowRect(control, &rc);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

int CheckState(HWND control) {
  if (_wcsicmp(ClassOf(control).c_str(), L"Button") != 0) return -1;
  auto state = Query(control, BM_GETCHECK, 0, 0);
  return state ? static_cast<int>(*state) : -1;
}

std::wstring Describe(HWND control, HWND dialog) {
  RECT rc = RectIn(control, dialog);
  int checked = CheckState(control);
  return L"id=" + std::to_wstring(::GetDlgCtrlID(control)) + L" class=" + ClassOf(control) +
         L" text=" + Quoted(ControlText(control).value_or(L"")) + L" rect=" +
         std::to_wstring(rc.left) + L"," + std::to_wstring(rc.top) + L"," +
         std::to_wstring(rc.right) + L"," + std::to_wstring(rc.bottom) +
         L" enabled=" + std::to_wstring(::IsWindowEnabled(control) ? 1 : 0) +
         L" visible=" + std::to_wstring(::IsWindowVisible(control) ? 1 : 0) +
         L" checked=" + (checked < 0 ? std::wstring(L"-") : std::to_wstring(checked));
}

bool SendAndSettle(HWND window, UINT msg, WPARAM wparam, LPARAM lparam, unsigned timeoutMs) {
  DWORD_PTR result = 0;
  if (::SendMessageTimeoutW(window, msg, wparam, lparam, SMTO_NORMAL, timeoutMs, &result))
    return true;
  return ::GetLastError() == ERROR_TIMEOUT && ::IsWindow(window);
}

std::optional<LRESULT> Query(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(window, msg, wparam, lparam, SMTO_NORMAL, kQueryTimeoutMs, &result))
    return std::nullopt;
  return static_cast<LRESULT>(result);
}

}  // namespace hushcall::hushctl
