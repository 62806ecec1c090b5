// Helpers for the Windows-side tests: pumping the message loop with a bound,
// a helper thread, and the modem simulator on COM5 as run_tests.sh sets it
// up (HC_MODEM_CONTROL and HC_MODEM_TRANSCRIPT hold its control FIFO and
// transcript as Windows paths).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "common/win32/unique.h"

namespace hushcall::ringwatch::testing {

inline constexpr int kModemPort = 5;
inline constexpr int kUnmappedPort = 9;

// Dispatches messages until `done` holds or `timeoutMs` pass; returns `done`.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);
// Dispatches messages for `ms`.
void PumpFor(int ms);
std::int64_t NowMs();

// A thread running `body`, joined by the destructor.
class TestThread {
 public:
  explicit TestThread(std::function<void()> body);
  ~TestThread();
  TestThread(const TestThread&) = delete;
  TestThread& operator=(const TestThread&) = delete;

 private:
  static DWORD WINAPI Main(void* self);
  std::function<void()> body_;
  win32::unique_handle thread_;
};

// The simulator behind COM5.
class Modem {
 public:
  // False when the tests run without a simulator.
  static bool Available();
  // One control line, e.g. "ring", "send RIN", "hangup".
  static void Command(const std::string& line);
  // The bytes received from the PC side so far, as the transcript escapes
  // them ("ATZ\r" is A T Z backslash r).
  static std::string Received();
  static bool WaitUntilReceived(const std::string& escaped, int timeoutMs);
};

}  // namespace hushcall::ringwatch::testing
