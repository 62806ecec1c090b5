#include "tools/modemsim/hayes.h"

#include <gtest/gtest.h>

namespace hushcall::modemsim {
namespace {

using Answers = std::vector<std::string>;

TEST(HayesInterpreter, EchoesTheCommandAndAnswersOkOnce) {
  HayesInterpreter modem(true, AnswerMode::kOk);
  Reaction r = modem.Feed("ATZ\r");
  EXPECT_EQ(r.echo, "ATZ\r");
  EXPECT_EQ(r.answers, Answers{"\r\nOK\r\n"});
}

TEST(HayesInterpreter, StartsSilentWithEchoOff) {
  HayesInterpreter modem(false, AnswerMode::kOk);
  Reaction r = modem.Feed("ATZ\r");
  EXPECT_EQ(r.echo, "");
  EXPECT_EQ(r.answers, Answers{"\r\nOK\r\n"});
}

struct CommandCase {
  const char* input;
  bool echoAfter;
  size_t answers;
};

class CommandAnswers : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandAnswers, AnswerAndEchoStateFollowTheCommand) {
  const CommandCase& c = GetParam();
  HayesInterpreter modem(true, AnswerMode::kOk);
  Reaction r = modem.Feed(c.input);
  EXPECT_EQ(modem.echo(), c.echoAfter);
  EXPECT_EQ(r.answers.size(), c.answers);
  for (const auto& a : r.answers) EXPECT_EQ(a, "\r\nOK\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandAnswers,
    ::testing::Values(CommandCase{"AT\r", true, 1}, CommandCase{"ATZ\r", true, 1},
                      CommandCase{"ATE0\r", false, 1}, CommandCase{"ATE1\r", true, 1},
                      CommandCase{"ATE\r", true, 1},  // a bare E switches echo on
                      CommandCase{"ate0\r", false, 1}, CommandCase{"ATV1E0Q0\r", false, 1},
                      CommandCase{"AT&FE0S0=0\r", false, 1}, CommandCase{"ATH0\r", true, 1},
                      CommandCase{"  AT\r", true, 1},
                      // Lines that are not commands are ignored: no answer.
                      CommandCase{"HELLO\r", true, 0}, CommandCase{"\r", true, 0},
                      CommandCase{"A\r", true, 0},
                      // Without a carriage return nothing is a command yet.
                      CommandCase{"ATZ", true, 0}, CommandCase{"ATZ\n", true, 0},
                      CommandCase{"AT\rAT\r", true, 2}));

TEST(HayesInterpreter, Ate0EchoesItsOwnLineThenFallsSilent) {
  HayesInterpreter modem(true, AnswerMode::kOk);
  EXPECT_EQ(modem.Feed("ATE0\r").echo, "ATE0\r");
  EXPECT_EQ(modem.Feed("AT\r").echo, "");
  EXPECT_EQ(modem.Feed("ATE1\r").echo, "");  // switched on only after its CR
  EXPECT_EQ(modem.Feed("AT\r").echo, "AT\r");
}

TEST(HayesInterpreter, ResetRestoresTheEchoItStartedWith) {
  HayesInterpreter echoing(true, AnswerMode::kOk);
  echoing.Feed("ATE0\r");
  echoing.Feed("ATZ\r");
  EXPECT_TRUE(echoing.echo());

  HayesInterpreter silent(false, AnswerMode::kOk);
  silent.Feed("ATE1\r");
  silent.Feed("ATZ\r");
  EXPECT_FALSE(silent.echo());
}

struct ModeCase {
  AnswerMode mode;
  Answers answers;
};

class AnswerModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(AnswerModes, AnswerBytesFollowTheMode) {
  HayesInterpreter modem(true, GetParam().mode);
  Reaction r = modem.Feed("ATZ\r");
  EXPECT_EQ(r.answers, GetParam().answers);
  EXPECT_EQ(r.echo, "ATZ\r");  // a silent modem still echoes
}

INSTANTIATE_TEST_SUITE_P(Modes, AnswerModes,
                         ::testing::Values(ModeCase{AnswerMode::kOk, {"\r\nOK\r\n"}},
                                           ModeCase{AnswerMode::kNone, {}},
                                           ModeCase{AnswerMode::kCrOnly, {"OK\r"}},
                                           ModeCase{AnswerMode::kLowercase, {"\r\nok\r\n"}}));

TEST(HayesInterpreter, CommandSplitAcrossReadsIsAnsweredOnceWhenComplete) {
  HayesInterpreter modem(true, AnswerMode::kOk);
  Reaction a = modem.Feed("A");
  Reaction b = modem.Feed("TZ");
  Reaction c = modem.Feed("\r");
  EXPECT_TRUE(a.answers.empty());
  EXPECT_TRUE(b.answers.empty());
  EXPECT_EQ(c.answers.size(), 1u);
  EXPECT_EQ(a.echo + b.echo + c.echo, "ATZ\r");
}

TEST(HayesInterpreter, LineFeedAfterCarriageReturnDoesNotSpoilTheNextCommand) {
  HayesInterpreter modem(true, AnswerMode::kOk);
  Reaction r = modem.Feed("ATZ\r\nATE0\r\n");
  EXPECT_EQ(r.answers.size(), 2u);
  EXPECT_FALSE(modem.echo());
  EXPECT_EQ(r.echo, "ATZ\r\nATE0\r");  // echo stops after ATE0's CR
}

TEST(HayesInterpreter, BackspaceEditsTheCommand) {
  HayesInterpreter modem(true, AnswerMode::kOk);
  modem.Feed("ATE1\b0\r");
  EXPECT_FALSE(modem.echo());
}

TEST(HayesInterpreter, EventsNameTheCommandAndTheEchoChange) {
  HayesInterpreter modem(true, AnswerMode::kOk);
  Reaction r = modem.Feed("xyz\rATE0\r");
  EXPECT_EQ(r.events, (std::vector<std::string>{"ignored xyz", "command ATE0", "echo off"}));
}

TEST(HayesInterpreter, CallerIdIsOnFromVcidToTheNextResetOrRefusedWithError) {
  HayesInterpreter modem(false, AnswerMode::kOk);
  EXPECT_EQ(modem.Feed("at+vcid=1\r").answers, Answers{"\r\nOK\r\n"});
  EXPECT_TRUE(modem.callerId());
  modem.Feed("ATZ\r");
  EXPECT_FALSE(modem.callerId());
  HayesInterpreter without(false, AnswerMode::kOk, CallerIdMode::kError);
  EXPECT_EQ(without.Feed("AT+VCID=1\r").answers, Answers{"\r\nERROR\r\n"});
  EXPECT_FALSE(without.callerId());
}

}  // namespace
}  // namespace hushcall::modemsim
