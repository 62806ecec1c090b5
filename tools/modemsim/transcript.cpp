#include "tools/modemsim/transcript.h"

#include <cerrno>
#include <system_error>

#include "tools/modemsim/clock.h"
#include "tools/modemsim/escape.h"

namespace hushcall::modemsim {

std::string FormatTranscriptLine(std::int64_t micros, std::string_view tag, std::string_view text) {
  std::string line = std::to_string(micros);
  line += ' ';
  line += tag;
  line += ' ';
  line += EscapeBytes(text);
  line += '\n';
  return line;
}

Transcript::Transcript(const std::string& path) : out_(stderr) {
  if (path.empty()) return;
  owned_.reset(std::fopen(path.c_str(), "w"));
  if (!owned_) throw std::system_error(errno, std::generic_category(), "transcript " + path);
  out_ = owned_.get();
}

void Transcript::Write(std::string_view tag, std::string_view text) { Write(tag, text, RealtimeMicros()); }

void Transcript::Write(std::string_view tag, std::string_view text, std::int64_t micros) {
  const std::string line = FormatTranscriptLine(micros, tag, text);
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

}  // namespace hushcall::modemsim
