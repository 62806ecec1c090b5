// The time-stamped transcript: one line per event,
//   "<unix microseconds> <tag> <escaped text>"
// with tags rx (bytes read from the PC side), tx (bytes written to the
// line, stamped as the write began: a reader woken by it may run before the
// write call has even returned) and ev (events). Every line is flushed, so a test can follow the
// file while the simulator runs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace hushcall::modemsim {

std::string FormatTranscriptLine(std::int64_t micros, std::string_view tag, std::string_view text);

class Transcript {
 public:
  // Writes to standard error when `path` is empty; throws std::system_error
  // when the file can't be created.
  explicit Transcript(const std::string& path);

  void Rx(std::string_view bytes) { Write("rx", bytes); }
  void Tx(std::string_view bytes, std::int64_t micros) { Write("tx", bytes, micros); }
  void Event(std::string_view text) { Write("ev", text); }

 private:
  void Write(std::string_view tag, std::string_view text, std::int64_t micros);
  void Write(std::string_view tag, std::string_view text);

  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, FileCloser> owned_;
  std::FILE* out_;
};

}  // namespace hushcall::modemsim
