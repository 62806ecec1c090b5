#include "tools/modemsim/options.h"

#include <gtest/gtest.h>

namespace hushcall::modemsim {
namespace {

ParsedCommandLine Parse(std::vector<std::string> args) { return ParseCommandLine(args); }

TEST(CommandLine, DefaultsNeedOnlyTheLink) {
  auto p = Parse({"--link", "/tmp/com5"});
  ASSERT_TRUE(p.options) << p.error;
  const Options& o = *p.options;
  EXPECT_EQ(o.link, "/tmp/com5");
  EXPECT_EQ(o.replyDelay, Millis(50));
  EXPECT_TRUE(o.echo);
  EXPECT_EQ(o.answer, AnswerMode::kOk);
  EXPECT_FALSE(o.shaping.pieces);
  EXPECT_EQ(o.shaping.pieceGap, Millis(5));
  EXPECT_EQ(o.plan.calls, 0);
  EXPECT_EQ(o.plan.rings, 3);
  EXPECT_EQ(o.plan.ringInterval, Millis(6000));
  EXPECT_EQ(o.plan.callGap, Millis(15000));
  EXPECT_EQ(o.plan.firstRing, Millis(1000));
  EXPECT_TRUE(o.waitInit);
  EXPECT_EQ(o.hangupAfter, Millis(0));
  EXPECT_FALSE(o.exitAfterCalls);
  EXPECT_TRUE(o.transcript.empty());
  EXPECT_TRUE(o.control.empty());
}

TEST(CommandLine, EveryOptionIsRead) {
  auto p = Parse({"--link", "L", "--transcript", "T", "--reply-delay-ms", "7", "--no-echo",
                  "--answer", "cr-only", "--noise", "--pieces", "--piece-gap-ms", "3", "--calls",
                  "2", "--rings", "4", "--ring-interval-ms", "100", "--call-gap-ms", "200",
                  "--first-ring-ms", "0", "--no-wait-init", "--hangup-after-ms", "300",
                  "--exit-after-calls", "--control", "C", "--caller", "5551234,JOHN DOE",
                  "--vcid-answer", "error"});
  ASSERT_TRUE(p.options) << p.error;
  const Options& o = *p.options;
  EXPECT_EQ(o.transcript, "T");
  EXPECT_EQ(o.control, "C");
  EXPECT_EQ(o.replyDelay, Millis(7));
  EXPECT_FALSE(o.echo);
  EXPECT_EQ(o.answer, AnswerMode::kCrOnly);
  EXPECT_TRUE(o.shaping.noise);
  EXPECT_TRUE(o.shaping.pieces);
  EXPECT_EQ(o.shaping.pieceGap, Millis(3));
  EXPECT_EQ(o.plan.calls, 2);
  EXPECT_EQ(o.plan.rings, 4);
  EXPECT_EQ(o.plan.ringInterval, Millis(100));
  EXPECT_EQ(o.plan.callGap, Millis(200));
  EXPECT_EQ(o.plan.firstRing, Millis(0));
  EXPECT_FALSE(o.waitInit);
  EXPECT_EQ(o.hangupAfter, Millis(300));
  EXPECT_TRUE(o.exitAfterCalls);
  ASSERT_TRUE(o.caller);
  EXPECT_EQ(o.caller->number, "5551234");
  EXPECT_EQ(o.caller->name, "JOHN DOE");
  EXPECT_EQ(o.callerIdMode, CallerIdMode::kError);
}

TEST(CommandLine, SlowMsIsAReplyDelayAndTheLastOneWins) {
  EXPECT_EQ(Parse({"--link", "L", "--slow-ms", "700"}).options->replyDelay, Millis(700));
  EXPECT_EQ(Parse({"--link", "L", "--slow-ms", "700", "--reply-delay-ms", "1"}).options->replyDelay,
            Millis(1));
}

TEST(CommandLine, EqualsFormWorksToo) {
  auto p = Parse({"--link=/x", "--answer=lowercase"});
  ASSERT_TRUE(p.options) << p.error;
  EXPECT_EQ(p.options->link, "/x");
  EXPECT_EQ(p.options->answer, AnswerMode::kLowercase);
}

TEST(CommandLine, AnswerNoneIsAccepted) {
  EXPECT_EQ(Parse({"--link", "L", "--answer", "none"}).options->answer, AnswerMode::kNone);
}

TEST(CommandLine, HelpNeedsNoLink) {
  EXPECT_TRUE(Parse({"--help"}).help);
  EXPECT_TRUE(Parse({"--calls", "1", "-h"}).help);
}

class BadCommandLines : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(BadCommandLines, AreRefusedWithAReason) {
  auto p = Parse(GetParam());
  EXPECT_FALSE(p.options);
  EXPECT_FALSE(p.error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadCommandLines,
    ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"--calls", "1"},
                      std::vector<std::string>{"--link"}, std::vector<std::string>{"--link", "L", "--calls"},
                      std::vector<std::string>{"--link", "L", "--calls", "-1"},
                      std::vector<std::string>{"--link", "L", "--calls", "2x"},
                      std::vector<std::string>{"--link", "L", "--answer", "OK"},
                      std::vector<std::string>{"--link", "L", "--noise=1"},
                      std::vector<std::string>{"--link", "L", "--caller", ",NAME"},
                      std::vector<std::string>{"--link", "L", "--vcid-answer", "none"},
                      std::vector<std::string>{"--link", "L", "extra"}));

}  // namespace
}  // namespace hushcall::modemsim
