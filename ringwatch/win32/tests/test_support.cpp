#include "ringwatch/win32/tests/test_support.h"

#include <cstdlib>
#include <sstream>

namespace hushcall::ringwatch::testing {
namespace {

std::wstring EnvPath(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value ? value : L"";
}

std::string ReadWholeFile(const std::wstring& path) {
  win32::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  std::string text;
  char chunk[4096];
  DWORD got = 0;
  while (::ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
  return text;
}

}  // namespace

std::int64_t NowMs() { return static_cast<std::int64_t>(::GetTickCount64()); }

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const std::int64_t end = NowMs() + timeoutMs;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (done()) return true;
    const std::int64_t left = end - NowMs();
    if (left <= 0) return false;
    ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left < 10 ? left : 10), QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
  }
}

void PumpFor(int ms) { PumpUntil([] { return false; }, ms); }

TestThread::TestThread(std::function<void()> body) : body_(std::move(body)) {
  thread_.reset(::CreateThread(nullptr, 0, &Main, this, 0, nullptr));
}

TestThread::~TestThread() {
  if (thread_) ::WaitForSingleObject(thread_.get(), INFINITE);
}

DWORD WINAPI TestThread::Main(void* self) {
  static_cast<TestThread*>(self)->body_();
  return 0;
}

bool Modem::Available() { return !EnvPath(L"HC_MODEM_CONTROL").empty(); }

void Modem::Command(const std::string& line) {
  win32::unique_hfile fifo(::CreateFileW(EnvPath(L"HC_MODEM_CONTROL").c_str(), GENERIC_WRITE, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
  if (!fifo) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  ::WriteFile(fifo.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string Modem::Received() {
  std::istringstream lines(ReadWholeFile(EnvPath(L"HC_MODEM_TRANSCRIPT")));
  std::string line, received;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string stamp, tag;
    fields >> stamp >> tag;
    if (tag != "rx") continue;
    fields.get();  // the blank before the text
    std::string text;
    std::getline(fields, text);
    received += text;
  }
  return received;
}

bool Modem::WaitUntilReceived(const std::string& escaped, int timeoutMs) {
  const std::int64_t end = NowMs() + timeoutMs;
  while (Received().find(escaped) == std::string::npos) {
    if (NowMs() >= end) return false;
    ::Sleep(10);
  }
  return true;
}

}  // namespace hushcall::ringwatch::testing
