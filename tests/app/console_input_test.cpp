#include "app/console_input.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>

namespace unionbound {
namespace {

constexpr const char* kPromptN = "Number of events. n=";
constexpr const char* kPromptM = "Maximum order of the intersections (must be an odd number). m=";

Parsed<ProblemSize> answer(const std::string& typed, std::string* prompts = nullptr) {
    std::istringstream in(typed);
    std::ostringstream out;
    Parsed<ProblemSize> answers = askEventsAndOrder(in, out);
    if (prompts)
        *prompts = out.str();
    return answers;
}

TEST(ConsoleAnswers, TakeNumbersSeparatedByAnyWhiteSpace) {
    std::string prompts;
    for (const char* typed : {"10\n3\n", "10 3", "  10\t\n 3\n\n", "+10 3"}) {
        const Parsed<ProblemSize> a = answer(typed, &prompts);
        EXPECT_EQ(a.message(), "") << typed;
        EXPECT_EQ(a.value().n, 10);
        EXPECT_EQ(a.value().m, 3);
        EXPECT_EQ(prompts, std::string(kPromptN) + kPromptM);
    }
}

TEST(ConsoleAnswers, LeaveTheRestOfTheLineForTheClosingReads) {
    std::istringstream in("10\n3\n\n");
    std::ostringstream out;
    askEventsAndOrder(in, out);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "");
}

TEST(ConsoleAnswers, RefuseWhatIsNotAWholeNumber) {
    std::string prompts;
    EXPECT_EQ(answer("ten 3", &prompts).message(),
              "n (the number of events) must be a whole number, not \"ten\"");
    EXPECT_EQ(prompts, kPromptN);  // the second prompt is not shown
    EXPECT_EQ(answer("10 3.5").message(),
              "m (the maximum order of the intersections) must be a whole number, not \"3.5\"");
    EXPECT_EQ(answer("10.0 3").message(),
              "n (the number of events) must be a whole number, not \"10.0\"");
    EXPECT_EQ(answer("99999999999999999999 3").message(),
              "n (the number of events) \"99999999999999999999\" is too large to be counted");
    EXPECT_EQ(answer("").message(), "the input ended before n (the number of events) was typed");
    EXPECT_EQ(answer("10\n").message(),
              "the input ended before m (the maximum order of the intersections) was typed");
    EXPECT_EQ(answer(std::string("1\x01"
                                 "0 3",
                                 5))
                  .message(),
              "n (the number of events) must be a whole number, not \"1?0\"");
}

TEST(ConsoleAnswers, ReadNoMoreOfAnEndlessWordThanANumberCouldNeed) {
    const std::string endless(1 << 20, '7');
    std::istringstream in(endless + " 3");
    std::ostringstream out;
    const Parsed<ProblemSize> a = askEventsAndOrder(in, out);
    EXPECT_EQ(a.message(), "n (the number of events) \"" + endless.substr(0, 40) +
                             "...\" is longer than 64 characters: not a number to count with");
    EXPECT_EQ(in.tellg(), 64);
    // Leading zeros do not make a long word a small number.
    EXPECT_EQ(answer(std::string(90, '0') + "3000 3").message(),
              "n (the number of events) \"" + std::string(40, '0') +
                  "...\" is longer than 64 characters: not a number to count with");
    // Exactly 64 characters still read as a number.
    EXPECT_EQ(answer(std::string(62, '0') + "10 3").message(), "");
}

TEST(ConsoleAnswers, RefuseOrdersTheMethodCannotUse) {
    EXPECT_EQ(answer("10 1").message(),
              "m=1 is too small: the maximum order m must be an odd number of at least 3");
    EXPECT_EQ(answer("10 -3").message(),
              "m=-3 is too small: the maximum order m must be an odd number of at least 3");
    EXPECT_EQ(answer("12 4").message(),
              "m=4 is even: the maximum order m must be an odd number (an even m gives no upper "
              "bound)");
    EXPECT_EQ(answer("9 5").message(),
              "m=5 is larger than n/2=4: every subsequence needs at least m events, so no pass "
              "could run");
    EXPECT_EQ(answer("-5 3").message(),
              "n=-5 is too small: at least 6 events are needed (two subsequences of at least 3 "
              "events each)");
    EXPECT_EQ(answer("5 3").message().substr(0, 19), "n=5 is too small: a");
}

TEST(ConsoleAnswers, RefuseSizesThatOverflowThirtyTwoBitCounts) {
    EXPECT_EQ(answer("2345 3").message(),
              "n=2345, m=3 need more intersection probabilities than a 32-bit integer can count");
    EXPECT_EQ(answer("2344 3").message(), "");
    EXPECT_EQ(answer("100 15").message(),
              "m=15 is too large: its moment coefficients do not fit in 32-bit integers");
    EXPECT_EQ(answer("3000000000 3").message(),
              "n=3000000000 is too large: at most 2147483647 events can be counted");
}

TEST(AskEventsAndOrder, SaysWhenTheInputEndsBeforeN) {
    std::string shown;
    const Parsed<ProblemSize> answers = answer("  \n", &shown);
    EXPECT_NE(answers.message().find("ended before n"), std::string::npos) << answers.message();
    EXPECT_EQ(shown, "Number of events. n=");
}

TEST(AskEventsAndOrder, SaysWhenTheInputEndsBeforeM) {
    const Parsed<ProblemSize> answers = answer("10\n");
    EXPECT_NE(answers.message().find("ended before m"), std::string::npos) << answers.message();
    EXPECT_EQ(answers.value().n, 0);
}

TEST(AskEventsAndOrder, ShowsAWordThatIsNotANumberWithoutItsControlBytes) {
    const Parsed<ProblemSize> answers = answer(std::string("1\0x\x7f", 4) + " 3");
    EXPECT_EQ(answers.message(), "n (the number of events) must be a whole number, not \"1?x?\"");
}

TEST(AskEventsAndOrder, CallsANumberBeyond64BitsTooLargeRatherThanNotANumber) {
    EXPECT_EQ(answer("99999999999999999999 3").message(),
              "n (the number of events) \"99999999999999999999\" is too large to be counted");
    EXPECT_EQ(answer("10 -99999999999999999999").message(),
              "m (the maximum order of the intersections) \"-99999999999999999999\" is too "
              "small to be counted");
}

TEST(AskEventsAndOrder, RefusesAnNBeyond32BitsWithoutAskingForM) {
    std::string shown;
    const Parsed<ProblemSize> answers = answer("2147483648 3", &shown);
    EXPECT_NE(answers.message().find("n=2147483648 is too large"), std::string::npos)
        << answers.message();
    EXPECT_EQ(shown, "Number of events. n=");
}

}  // namespace
}  // namespace unionbound
