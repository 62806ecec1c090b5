#include "ringwatch/calls/line_splitter.h"

#include <utility>

namespace hushcall::ringwatch {

LineSplitter::Lines LineSplitter::Feed(std::string_view bytes) {
  Lines lines;
  while (!bytes.empty()) {
    const std::size_t lf = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, lf);
    if (!dropping_) {
      if (partial_.size() + piece.size() > maxLine_) {
        dropping_ = true;
        partial_.clear();
      } else {
        partial_.append(piece);
      }
    }
    if (lf == std::string_view::npos) break;
    bytes.remove_prefix(lf + 1);
    if (dropping_) {
      ++lines.dropped;
      dropping_ = false;
    } else {
      lines.complete.push_back(std::exchange(partial_, {}));
    }
  }
  return lines;
}

void LineSplitter::Clear() {
  partial_.clear();
  dropping_ = false;
}

}  // namespace hushcall::ringwatch
