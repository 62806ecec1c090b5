#include "tools/hushctl/actions.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>

#include "tools/hushctl/key_names.h"
#include "tools/hushctl/windows.h"

namespace hushcall::hushctl {

const wchar_t kHelp[] =
    L"hushctl ACTION [--option value]...   drives other programs' windows, one action a run\n"
    L"Exit code 0 on success, 1 on failure or timeout. Results go to stdout.\n"
    L"\n"
    L"A window is chosen by --class CLASS and/or --title EXACT-TITLE (a message box or\n"
    L"dialog is class \"#32770\"), and/or --hwnd H (a handle as `wait` prints it); actions\n"
    L"wait up to --timeout MS (default 5000) for it.\n"
    L"A control is chosen by --id N (decimal or 0x hex) or, where noted, --text CAPTION.\n"
    L"Clicks, key strokes and closes wait at most --settle MS (default 1000) for the\n"
    L"target to handle them; a modal loop they open keeps running.\n"
    L"\n"
    L"  wait         WINDOW [--state exists|visible|gone]   prints the window handle\n"
    L"  msgbox-text  WINDOW                  prints a message box's text (control 0xFFFF)\n"
    L"  msgbox-press WINDOW --button ok|cancel|yes|no [--command 1]\n"
    L"               presses a message box's button (BM_CLICK; with --command, sends the\n"
    L"               box the WM_COMMAND the click would)\n"
    L"  click        WINDOW --id N | --text CAPTION      BM_CLICK\n"
    L"  set-text     WINDOW --id N --value TEXT          WM_SETTEXT\n"
    L"  get-text     WINDOW [--id N]     prints the control's (or window's) text\n"
    L"  checked      WINDOW --id N       prints BM_GETCHECK: 0, 1 or 2\n"
    L"  enabled      WINDOW --id N       prints 1 or 0\n"
    L"  visible      WINDOW [--id N]     prints 1 or 0\n"
    L"  process      WINDOW              prints the id of the process that owns the window\n"
    L"  rect         WINDOW --id N       prints left top right bottom, dialog client coordinates\n"
    L"  keys         WINDOW [--id N] (--keys LIST | --chars TEXT)\n"
    L"               posts WM_KEYDOWN/WM_CHAR/WM_KEYUP to the control (default: the focused\n"
    L"               one); LIST: tab,shift+tab,enter,escape,space,backspace,delete,left,\n"
    L"               right,up,down,home,end,pgup,pgdn or single characters, comma separated\n"
    L"  focus        WINDOW --id N       moves the dialog's focus to the control\n"
    L"  focused      WINDOW              prints the focused control of the window's thread\n"
    L"  trackbar     WINDOW --id N       prints TBM_GETPOS\n"
    L"  close        WINDOW              WM_SYSCOMMAND SC_CLOSE, as the title bar's close box\n"
    L"  dump         WINDOW              one line per descendant control: id, class, text,\n"
    L"               rect, enabled, visible, checked\n"
    L"  player-command --id N            posts WM_COMMAND N to the player (\"Winamp v1.x\")\n"
    L"  player-close                     posts WM_CLOSE to the player\n";

namespace {

constexpr wchar_t kPlayerClass[] = L"Winamp v1.x";

class Action {
 public:
  Action(const Arguments& args, Output& output) : args_(args), out_(output) {}

  int Fail(const std::wstring& why) {
    out_.err += L"hushctl: " + why + L"\n";
    return 1;
  }
  void Print(const std::wstring& line) { out_.out += line + L"\n"; }

  unsigned Number(const wchar_t* name, unsigned fallback) const {
    auto text = args_.Get(name);
    if (!text) return fallback;
    auto n = ParseNumber(*text);
    return n && *n >= 0 ? static_cast<unsigned>(*n) : fallback;
  }
  unsigned Timeout() const { return Number(L"timeout", 5000); }
  unsigned Settle() const { return Number(L"settle", 1000); }

  WindowQuery Wanted() const {
    WindowQuery wanted{args_.Get(L"class").value_or(L""), args_.Get(L"title").value_or(L"")};
    if (auto handle = args_.Get(L"hwnd")) {
      // A handle that doesn't parse matches no window rather than every one.
      auto n = ParseNumber(*handle);
      wanted.handle = reinterpret_cast<HWND>(static_cast<INT_PTR>(n && *n > 0 ? *n : -1));
    }
    return wanted;
  }

  // The window named by --class/--title, waited for; null after a report.
  HWND Window() {
    WindowQuery wanted = Wanted();
    if (wanted.Empty()) {
      Fail(L"give --class, --title or --hwnd");
      return nullptr;
    }
    HWND window = WaitForWindow(wanted, WaitFor::kExists, Timeout());
    if (!window) Fail(L"no window class=\"" + wanted.className + L"\" title=\"" + wanted.title + L"\"");
    return window;
  }

  // The control named by --id or --text inside `window`.
  HWND Control(HWND window, bool textAllowed) {
    if (auto id = args_.Get(L"id")) {
      auto n = ParseNumber(*id);
      if (!n) {
        Fail(L"bad --id " + *id);
        return nullptr;
      }
      HWND control = FindControlById(window, static_cast<int>(*n));
      if (!control) Fail(L"no control with id " + *id);
      return control;
    }
    if (auto text = args_.Get(L"text"); text && textAllowed) {
      HWND control = FindControlByText(window, *text);
      if (!control) Fail(L"no control with text \"" + *text + L"\"");
      return control;
    }
    Fail(textAllowed ? L"give --id or --text" : L"give --id");
    return nullptr;
  }

  HWND Player() {
    HWND player = WaitForWindow({kPlayerClass, L""}, WaitFor::kExists, Timeout());
    if (!player) Fail(L"no player window");
    return player;
  }

  const Arguments& args() const { return args_; }

 private:
  const Arguments& args_;
  Output& out_;
};

int Wait(Action& a) {
  WindowQuery wanted = a.Wanted();
  if (wanted.Empty()) return a.Fail(L"give --class, --title or --hwnd");
  std::wstring state = a.args().Get(L"state").value_or(L"exists");
  WaitFor condition;
  if (state == L"exists") condition = WaitFor::kExists;
  else if (state == L"visible") condition = WaitFor::kVisible;
  else if (state == L"gone") condition = WaitFor::kGone;
  else return a.Fail(L"bad --state " + state);
  HWND found = WaitForWindow(wanted, condition, a.Timeout());
  if (!found) return a.Fail(L"timed out waiting for the window to be " + state);
  if (condition == WaitFor::kGone) {
    a.Print(L"gone");
  } else {
    wchar_t handle[32];
    wsprintfW(handle, L"0x%08X", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(found)));
    a.Print(handle);
  }
  return 0;
}

int MessageBoxText(Action& a) {
  HWND box = a.Window();
  if (!box) return 1;
  HWND text = FindControlById(box, 0xFFFF);
  if (!text) return a.Fail(L"the window has no message text (control 0xFFFF)");
  auto value = ControlText(text);
  if (!value) return a.Fail(L"the message text could not be read");
  a.Print(*value);
  return 0;
}

int MessageBoxPress(Action& a) {
  static const std::map<std::wstring, int> kButtons = {
      {L"ok", IDOK}, {L"cancel", IDCANCEL}, {L"yes", IDYES}, {L"no", IDNO},
      {L"abort", IDABORT}, {L"retry", IDRETRY}, {L"ignore", IDIGNORE}};
  auto name = a.args().Get(L"button");
  if (!name || !kButtons.count(*name)) return a.Fail(L"give --button ok|cancel|yes|no");
  HWND box = a.Window();
  if (!box) return 1;
  HWND button = ::GetDlgItem(box, kButtons.at(*name));
  if (!button) return a.Fail(L"the window has no " + *name + L" button");
  // --command sends the box the command its button's click sends, for when
  // a synthetic click was lost to another window taking the focus.
  const bool ok = a.args().Get(L"command")
                      ? SendAndSettle(box, WM_COMMAND, MAKEWPARAM(kButtons.at(*name), BN_CLICKED),
                                      reinterpret_cast<LPARAM>(button), a.Settle())
                      : SendAndSettle(button, BM_CLICK, 0, 0, a.Settle());
  if (!ok) return a.Fail(L"the click was not delivered");
  return 0;
}

int Click(Action& a) {
  HWND window = a.Window();
  HWND control = window ? a.Control(window, true) : nullptr;
  if (!control) return 1;
  if (!SendAndSettle(control, BM_CLICK, 0, 0, a.Settle())) return a.Fail(L"the click was not delivered");
  return 0;
}

int SetText(Action& a) {
  auto value = a.args().Get(L"value");
  if (!value) return a.Fail(L"give --value");
  HWND window = a.Window();
  HWND control = window ? a.Control(window, false) : nullptr;
  if (!control) return 1;
  if (!SendAndSettle(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value->c_str()), a.Settle()))
    return a.Fail(L"WM_SETTEXT was not delivered");
  return 0;
}

int GetText(Action& a) {
  HWND window = a.Window();
  if (!window) return 1;
  HWND target = a.args().Has(L"id") || a.args().Has(L"text") ? a.Control(window, true) : window;
  if (!target) return 1;
  auto text = ControlText(target);
  if (!text) return a.Fail(L"no answer to WM_GETTEXT");
  a.Print(*text);
  return 0;
}

// Prints a control's answer to one query message.
int PrintAnswer(Action& a, bool textAllowed, UINT msg, const wchar_t* name) {
  HWND window = a.Window();
  HWND control = window ? a.Control(window, textAllowed) : nullptr;
  if (!control) return 1;
  auto answer = Query(control, msg, 0, 0);
  if (!answer) return a.Fail(std::wstring(L"no answer to ") + name);
  a.Print(std::to_wstring(*answer));
  return 0;
}

int Checked(Action& a) { return PrintAnswer(a, true, BM_GETCHECK, L"BM_GETCHECK"); }

int Enabled(Action& a) {
  HWND window = a.Window();
  HWND control = window ? a.Control(window, true) : nullptr;
  if (!control) return 1;
  a.Print(::IsWindowEnabled(control) ? L"1" : L"0");
  return 0;
}

int Visible(Action& a) {
  HWND window = a.Window();
  if (!window) return 1;
  HWND target = a.args().Has(L"id") || a.args().Has(L"text") ? a.Control(window, true) : window;
  if (!target) return 1;
  a.Print(::IsWindowVisible(target) ? L"1" : L"0");
  return 0;
}

int Process(Action& a) {
  HWND window = a.Window();
  if (!window) return 1;
  DWORD process = 0;
  if (!::GetWindowThreadProcessId(window, &process)) return a.Fail(L"the window is gone");
  a.Print(std::to_wstring(process));
  return 0;
}

int Rect(Action& a) {
  HWND window = a.Window();
  HWND control = window ? a.Control(window, true) : nullptr;
  if (!control) return 1;
  RECT rc = RectIn(control, window);
  a.Print(std::to_wstring(rc.left) + L" " + std::to_wstring(rc.top) + L" " +
          std::to_wstring(rc.right) + L" " + std::to_wstring(rc.bottom));
  return 0;
}

HWND FocusedControl(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
  if (!::GetGUIThreadInfo(thread, &info)) return nullptr;
  return info.hwndFocus;
}

int Keys(Action& a) {
  std::vector<KeyStroke> keys;
  if (auto list = a.args().Get(L"keys")) {
    auto parsed = ParseKeys(*list);
    if (!parsed) return a.Fail(L"bad --keys " + *list);
    keys = *parsed;
  } else if (auto chars = a.args().Get(L"chars")) {
    keys = KeysForText(*chars);
  } else {
    return a.Fail(L"give --keys or --chars");
  }
  HWND window = a.Window();
  if (!window) return 1;
  HWND target = a.args().Has(L"id") ? a.Control(window, false) : FocusedControl(window);
  if (!target) return a.args().Has(L"id") ? 1 : a.Fail(L"nothing has the focus");
  // Posted, as the keyboard would: the dialog's loop sees them first, so
  // Tab, Enter and Escape work the dialog as they would for a person.
  for (const KeyStroke& key : keys) {
    UINT scan = ::MapVirtualKeyW(key.virtualKey, MAPVK_VK_TO_VSC);
    LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    LPARAM up = down | (1 << 30) | (static_cast<LPARAM>(1) << 31);
    if (key.shift) ::PostMessageW(target, WM_KEYDOWN, VK_SHIFT, 1);
    if (key.virtualKey) ::PostMessageW(target, WM_KEYDOWN, key.virtualKey, down);
    if (key.character) ::PostMessageW(target, WM_CHAR, key.character, down);
    if (key.virtualKey) ::PostMessageW(target, WM_KEYUP, key.virtualKey, up);
    if (key.shift) ::PostMessageW(target, WM_KEYUP, VK_SHIFT, up);
  }
  // Posted messages can't be waited for: give the target a moment, then
  // make sure it is answering again.
  ::Sleep(100);
  SendAndSettle(target, WM_NULL, 0, 0, a.Settle());
  return 0;
}

int Focus(Action& a) {
  HWND window = a.Window();
  HWND control = window ? a.Control(window, true) : nullptr;
  if (!control) return 1;
  ::PostMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
  const ULONGLONG deadline = ::GetTickCount64() + a.Settle();
  while (FocusedControl(window) != control) {
    if (::GetTickCount64() >= deadline) return a.Fail(L"the focus did not move");
    ::Sleep(10);
  }
  return 0;
}

int Focused(Action& a) {
  HWND window = a.Window();
  if (!window) return 1;
  HWND focus = FocusedControl(window);
  if (!focus) return a.Fail(L"nothing has the focus");
  a.Print(Describe(focus, window));
  return 0;
}

int Trackbar(Action& a) { return PrintAnswer(a, false, TBM_GETPOS, L"TBM_GETPOS"); }

int Close(Action& a) {
  HWND window = a.Window();
  if (!window) return 1;
  if (!SendAndSettle(window, WM_SYSCOMMAND, SC_CLOSE, 0, a.Settle()))
    return a.Fail(L"SC_CLOSE was not delivered");
  return 0;
}

int Dump(Action& a) {
  HWND window = a.Window();
  if (!window) return 1;
  for (HWND child : Descendants(window)) a.Print(Describe(child, window));
  return 0;
}

int PlayerCommand(Action& a) {
  auto id = a.args().Get(L"id");
  auto n = id ? ParseNumber(*id) : std::nullopt;
  if (!n) return a.Fail(L"give --id N");
  HWND player = a.Player();
  if (!player) return 1;
  // Posted: a configuration dialog it opens must not hold this tool up.
  if (!::PostMessageW(player, WM_COMMAND, static_cast<WPARAM>(*n), 0)) return a.Fail(L"post failed");
  return 0;
}

int PlayerClose(Action& a) {
  HWND player = a.Player();
  if (!player) return 1;
  if (!::PostMessageW(player, WM_CLOSE, 0, 0)) return a.Fail(L"post failed");
  return 0;
}

}  // namespace

int RunAction(const Arguments& args, Output& output) {
  static const std::map<std::wstring, std::function<int(Action&)>> kActions = {
      {L"wait", Wait},           {L"msgbox-text", MessageBoxText}, {L"msgbox-press", MessageBoxPress},
      {L"click", Click},         {L"set-text", SetText},           {L"get-text", GetText},
      {L"checked", Checked},     {L"enabled", Enabled},            {L"visible", Visible},
      {L"process", Process},     {L"rect", Rect},                  {L"keys", Keys},
      {L"focus", Focus},         {L"focused", Focused},            {L"trackbar", Trackbar},
      {L"close", Close},         {L"dump", Dump},                  {L"player-command", PlayerCommand},
      {L"player-close", PlayerClose}};
  Action action(args, output);
  auto it = kActions.find(args.action);
  if (it == kActions.end()) return action.Fail(L"unknown action " + args.action + L" (see --help)");
  return it->second(action);
}

}  // namespace hushcall::hushctl
