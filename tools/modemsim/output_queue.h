// Bytes waiting to go out on the line, in order, each chunk with the time it
// may be written. Result lines can be shaped the way awkward modems send
// them: split into pieces with pauses, or with junk lines in between.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tools/modemsim/clock.h"

namespace hushcall::modemsim {

struct Shaping {
  bool pieces = false;
  Millis pieceGap{5};
  bool noise = false;
  unsigned seed = 1;  // fixed, so a run with noise can be repeated
};

struct Chunk {
  TimePoint due;
  std::string bytes;
  bool endsAnswer = false;  // last bytes of an answer to a command
};

class OutputQueue {
 public:
  explicit OutputQueue(Shaping shaping);

  // Bytes that go out unshaped: the echo, and text sent through the
  // control FIFO. Nothing overtakes what is already queued.
  void AddRaw(TimePoint at, std::string bytes);

  // A result line ("\r\nOK\r\n", "RING\r\n"), shaped as configured.
  void AddResult(TimePoint at, const std::string& bytes, bool answer);

  bool empty() const { return chunks_.empty(); }
  std::size_t size_bytes() const { return bytes_; }
  std::optional<TimePoint> NextDue() const;

  // The chunk to write now, if one is due; after a write call Consume with
  // the number of bytes the line took.
  const Chunk* Due(TimePoint now) const;
  void Consume(std::size_t n);

  // What is added next goes out `pause` after the last chunk queued (or
  // after `now`, when that one is already due).
  void Pause(TimePoint now, Millis pause);

  // Drops everything not yet written (the line was hung up).
  void Clear();

 private:
  void Push(TimePoint at, std::string bytes, bool endsAnswer);
  std::string Junk();

  Shaping shaping_;
  std::mt19937 random_;
  std::deque<Chunk> chunks_;
  std::size_t bytes_ = 0;
  TimePoint lastDue_{};
};

// A result line in the pieces a slow modem sends: the leading line break
// with the first half of the text, the rest of the text, then each trailing
// CR and LF alone. "\r\nRING\r\n" gives "\r\nRI", "NG", "\r", "\n".
std::vector<std::string> SplitIntoPieces(const std::string& line);

}  // namespace hushcall::modemsim
