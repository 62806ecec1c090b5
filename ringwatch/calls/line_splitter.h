// A source's byte stream (the call monitor's, a modem's) cut into lines at
// LF, each at most a given length. A longer line is dropped whole, up to
// its LF, and counted, so that a peer that never sends a line end costs a
// bounded buffer and nothing else.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace hushcall::ringwatch {

class LineSplitter {
 public:
  struct Lines {
    std::vector<std::string> complete;  // without their LF
    std::size_t dropped = 0;            // over-long lines ended here
  };

  // `maxLine` counts the bytes before the LF (a CR included).
  explicit LineSplitter(std::size_t maxLine) : maxLine_(maxLine) {}

  // The lines that `bytes` complete.
  Lines Feed(std::string_view bytes);
  // Forgets a line begun: the connection it came on is gone.
  void Clear();

 private:
  std::size_t maxLine_;
  std::string partial_;
  bool dropping_ = false;  // within a line that has grown too long
};

}  // namespace hushcall::ringwatch
