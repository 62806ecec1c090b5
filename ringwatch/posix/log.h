// Where the desktop service says what it did: one line per event, read by
// the journal when it runs as a user unit.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace hushcall::ringwatch {

class Log {
 public:
  virtual ~Log() = default;
  virtual void Line(std::string_view text) = 0;
};

class StderrLog final : public Log {
 public:
  void Line(std::string_view text) override {
    std::string line(text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
  }
};

}  // namespace hushcall::ringwatch
