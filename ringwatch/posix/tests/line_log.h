// A log that keeps its lines, for the tests of what the service says.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/posix/log.h"

namespace hushcall::testing {

class LineLog final : public ringwatch::Log {
 public:
  void Line(std::string_view text) override { lines.emplace_back(text); }
  // How many lines hold `part`.
  std::size_t Count(std::string_view part) const {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.find(part) != std::string::npos;
    });
  }
  bool Has(std::string_view part) const { return Count(part) > 0; }

  std::vector<std::string> lines;
};

}  // namespace hushcall::testing
