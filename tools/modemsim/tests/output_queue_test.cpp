#include "tools/modemsim/output_queue.h"

#include <gtest/gtest.h>

namespace hushcall::modemsim {
namespace {

const TimePoint kT0{};

struct Written {
  long long at;
  std::string bytes;
  bool endsAnswer;
  bool operator==(const Written&) const = default;
};

// Drains the queue on a fake clock, writing each chunk whole at its time.
std::vector<Written> Drain(OutputQueue& queue) {
  std::vector<Written> out;
  while (auto due = queue.NextDue()) {
    const Chunk* c = queue.Due(*due);
    out.push_back({std::chrono::duration_cast<Millis>(c->due - kT0).count(), c->bytes, c->endsAnswer});
    queue.Consume(c->bytes.size());
  }
  return out;
}

std::string Joined(const std::vector<Written>& written) {
  std::string all;
  for (const auto& w : written) all += w.bytes;
  return all;
}

struct SplitCase {
  std::string line;
  std::vector<std::string> pieces;
};

class Pieces : public ::testing::TestWithParam<SplitCase> {};

TEST_P(Pieces, ResultLineSplitsAtTextMiddleAndEachLineBreak) {
  EXPECT_EQ(SplitIntoPieces(GetParam().line), GetParam().pieces);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Pieces,
    ::testing::Values(SplitCase{"RING\r\n", {"RI", "NG", "\r", "\n"}},
                      SplitCase{"\r\nRING\r\n", {"\r\nRI", "NG", "\r", "\n"}},
                      SplitCase{"\r\nOK\r\n", {"\r\nO", "K", "\r", "\n"}},
                      SplitCase{"OK\r", {"O", "K", "\r"}},
                      SplitCase{"X\r\n", {"X", "\r", "\n"}},
                      SplitCase{"\r\n", {"\r\n"}}));

TEST(OutputQueue, ChunksKeepTheirOrderEvenWhenALaterOneIsDueEarlier) {
  OutputQueue queue(Shaping{});
  queue.AddResult(kT0 + Millis(50), "\r\nOK\r\n", true);
  queue.AddRaw(kT0 + Millis(10), "AT\r");  // an echo arriving during the reply delay
  EXPECT_EQ(Drain(queue), (std::vector<Written>{{50, "\r\nOK\r\n", true}, {50, "AT\r", false}}));
}

// A report in timed pieces: "send", "pause 20", "send" read at one moment.
TEST(OutputQueue, PauseSpacesWhatIsAddedAfterItFromTheChunkBefore) {
  OutputQueue queue(Shaping{});
  queue.AddRaw(kT0, "\r\nRIN");
  queue.Pause(kT0, Millis(20));
  queue.AddRaw(kT0, "G\r\n");
  EXPECT_EQ(Drain(queue), (std::vector<Written>{{0, "\r\nRIN", false}, {20, "G\r\n", false}}));
}

TEST(OutputQueue, NothingIsDueBeforeItsTime) {
  OutputQueue queue(Shaping{});
  queue.AddResult(kT0 + Millis(50), "\r\nOK\r\n", true);
  EXPECT_EQ(queue.Due(kT0 + Millis(49)), nullptr);
  EXPECT_NE(queue.Due(kT0 + Millis(50)), nullptr);
}

TEST(OutputQueue, PiecesAreSpacedByTheGapAndOnlyTheLastEndsTheAnswer) {
  OutputQueue queue(Shaping{true, Millis(5), false, 1});
  queue.AddResult(kT0 + Millis(100), "\r\nOK\r\n", true);
  EXPECT_EQ(Drain(queue), (std::vector<Written>{{100, "\r\nO", false},
                                                {105, "K", false},
                                                {110, "\r", false},
                                                {115, "\n", true}}));
}

TEST(OutputQueue, PartialWriteLeavesTheRestQueued) {
  OutputQueue queue(Shaping{});
  queue.AddResult(kT0, "RING\r\n", false);
  queue.Consume(2);
  EXPECT_EQ(queue.size_bytes(), 4u);
  EXPECT_EQ(queue.Due(kT0)->bytes, "NG\r\n");
}

// Junk between reports must never itself read as a marker, nor hide one.
TEST(OutputQueue, NoiseAddsJunkBeforeEachLineWithoutFormingAMarker) {
  OutputQueue queue(Shaping{false, Millis(5), true, 7});
  for (int i = 0; i < 200; ++i) queue.AddResult(kT0 + Millis(i), "RING\r\n", false);
  std::string all = Joined(Drain(queue));
  size_t rings = 0;
  for (size_t p = all.find("RING\r\n"); p != std::string::npos; p = all.find("RING\r\n", p + 1)) ++rings;
  EXPECT_EQ(rings, 200u);
  EXPECT_EQ(all.find("OK\r\n"), std::string::npos);
  EXPECT_EQ(all.find("ok\r\n"), std::string::npos);
  EXPECT_GT(all.size(), 200u * 6 + 200u * 3);
}

TEST(OutputQueue, NoiseAndPiecesTogetherStillEndTheAnswerOnItsLastByte) {
  OutputQueue queue(Shaping{true, Millis(1), true, 3});
  queue.AddResult(kT0, "\r\nOK\r\n", true);
  auto written = Drain(queue);
  ASSERT_FALSE(written.empty());
  EXPECT_TRUE(written.back().endsAnswer);
  EXPECT_EQ(written.back().bytes, "\n");
  const std::string all = Joined(written);
  EXPECT_EQ(all.substr(all.size() - 6), "\r\nOK\r\n");
}

TEST(OutputQueue, ClearDropsEverything) {
  OutputQueue queue(Shaping{});
  queue.AddRaw(kT0, "abc");
  queue.Clear();
  EXPECT_TRUE(queue.empty());
  EXPECT_EQ(queue.size_bytes(), 0u);
}

}  // namespace
}  // namespace hushcall::modemsim
