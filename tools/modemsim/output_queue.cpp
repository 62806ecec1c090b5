#include "tools/modemsim/output_queue.h"

#include <algorithm>
#include <array>

namespace hushcall::modemsim {
namespace {

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// Junk ends in its own CR LF, so it could only be taken for "OK", "ok" or
// "RING" if its text ended in K, k or G: random text leaves those out.
bool SafeJunkCharacter(char c) { return c != 'K' && c != 'k' && c != 'G'; }

}  // namespace

std::vector<std::string> SplitIntoPieces(const std::string& line) {
  size_t bodyBegin = 0;
  while (bodyBegin < line.size() && IsLineBreak(line[bodyBegin])) ++bodyBegin;
  size_t bodyEnd = line.size();
  while (bodyEnd > bodyBegin && IsLineBreak(line[bodyEnd - 1])) --bodyEnd;
  if (bodyBegin == bodyEnd) return {line};

  const size_t half = bodyBegin + std::max<size_t>(1, (bodyEnd - bodyBegin) / 2);
  std::vector<std::string> pieces{line.substr(0, half)};
  if (half < bodyEnd) pieces.push_back(line.substr(half, bodyEnd - half));
  for (size_t i = bodyEnd; i < line.size(); ++i) pieces.emplace_back(1, line[i]);
  return pieces;
}

OutputQueue::OutputQueue(Shaping shaping) : shaping_(shaping), random_(shaping.seed) {}

void OutputQueue::AddRaw(TimePoint at, std::string bytes) {
  if (!bytes.empty()) Push(at, std::move(bytes), false);
}

void OutputQueue::AddResult(TimePoint at, const std::string& bytes, bool answer) {
  std::vector<std::string> parts;
  if (shaping_.noise) parts.push_back(Junk());
  if (shaping_.pieces) {
    for (auto& piece : SplitIntoPieces(bytes)) parts.push_back(std::move(piece));
  } else {
    parts.push_back(bytes);
  }
  for (size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    // Without pieces the junk and the line go out in one write.
    if (!shaping_.pieces && !last) {
      parts[i + 1] = parts[i] + parts[i + 1];
      continue;
    }
    Push(i == 0 ? at : lastDue_ + shaping_.pieceGap, std::move(parts[i]), answer && last);
  }
}

std::optional<TimePoint> OutputQueue::NextDue() const {
  if (chunks_.empty()) return std::nullopt;
  return chunks_.front().due;
}

const Chunk* OutputQueue::Due(TimePoint now) const {
  if (chunks_.empty() || chunks_.front().due > now) return nullptr;
  return &chunks_.front();
}

void OutputQueue::Consume(std::size_t n) {
  if (chunks_.empty()) return;
  Chunk& front = chunks_.front();
  n = std::min(n, front.bytes.size());
  front.bytes.erase(0, n);
  bytes_ -= n;
  if (front.bytes.empty()) chunks_.pop_front();
}

void OutputQueue::Clear() {
  chunks_.clear();
  bytes_ = 0;
}

void OutputQueue::Pause(TimePoint now, Millis pause) { lastDue_ = std::max(lastDue_, now) + pause; }

void OutputQueue::Push(TimePoint at, std::string bytes, bool endsAnswer) {
  lastDue_ = std::max(at, lastDue_);
  bytes_ += bytes.size();
  chunks_.push_back({lastDue_, std::move(bytes), endsAnswer});
}

// A result line a real modem could send at a bad moment, or line garbage.
std::string OutputQueue::Junk() {
  static constexpr std::array<const char*, 4> kLines = {"NO CARRIER", "BUSY", "NO DIALTONE",
                                                        "CONNECT 9600"};
  std::uniform_int_distribution<int> pick(0, static_cast<int>(kLines.size()));
  int n = pick(random_);
  if (n < static_cast<int>(kLines.size())) return std::string("\r\n") + kLines[n] + "\r\n";
  std::uniform_int_distribution<int> length(3, 12);
  std::uniform_int_distribution<int> printable(' ', '~');
  std::string text;
  for (int i = length(random_); i > 0;) {
    char c = static_cast<char>(printable(random_));
    if (SafeJunkCharacter(c)) {
      text.push_back(c);
      --i;
    }
  }
  return text + "\r\n";
}

}  // namespace hushcall::modemsim
