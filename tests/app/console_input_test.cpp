#include "app/console_input.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>

namespace unionbound {
namespace {

constexpr const char* kPromptN = "Number of events. n=";
constexpr const char* kPromptM = "Maximum order of the intersections (must be an odd number). m=";

constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();

ConsoleAnswers answer(const std::string& typed, std::string* prompts = nullptr) {
    std::istringstream in(typed);
    std::ostringstream out;
    ConsoleAnswers answers = askEventsAndOrder(in, out);
    if (prompts)
        *prompts = out.str();
    return answers;
}

TEST(ConsoleAnswers, TakeNumbersSeparatedByAnyWhiteSpace) {
    std::string prompts;
    for (const char* typed : {"10\n3\n", "10 3", "  10\t\n 3\n\n", "+10 3"}) {
        const ConsoleAnswers a = answer(typed, &prompts);
        EXPECT_EQ(a.problem, "") << typed;
        EXPECT_EQ(a.n, 10);
        EXPECT_EQ(a.m, 3);
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
    EXPECT_EQ(answer("ten 3", &prompts).problem,
              "n (the number of events) must be a whole number, not \"ten\"");
    EXPECT_EQ(prompts, kPromptN);  // the second prompt is not shown
    EXPECT_EQ(answer("10 3.5").problem,
              "m (the maximum order of the intersections) must be a whole number, not \"3.5\"");
    EXPECT_EQ(answer("10.0 3").problem,
              "n (the number of events) must be a whole number, not \"10.0\"");
    EXPECT_EQ(answer("99999999999999999999 3").problem,
              "n (the number of events) \"99999999999999999999\" is too large to be counted");
    EXPECT_EQ(answer("").problem, "the input ended before n (the number of events) was typed");
    EXPECT_EQ(answer("10\n").problem,
              "the input ended before m (the maximum order of the intersections) was typed");
    EXPECT_EQ(answer(std::string("1\x01"
                                 "0 3",
                                 5))
                  .problem,
              "n (the number of events) must be a whole number, not \"1?0\"");
}

TEST(ConsoleAnswers, ReadNoMoreOfAnEndlessWordThanANumberCouldNeed) {
    const std::string endless(1 << 20, '7');
    std::istringstream in(endless + " 3");
    std::ostringstream out;
    const ConsoleAnswers a = askEventsAndOrder(in, out);
    EXPECT_EQ(a.problem, "n (the number of events) \"" + endless.substr(0, 40) +
                             "...\" is longer than 64 characters: not a number to count with");
    EXPECT_EQ(in.tellg(), 64);
    // Leading zeros do not make a long word a small number.
    EXPECT_EQ(answer(std::string(90, '0') + "3000 3").problem,
              "n (the number of events) \"" + std::string(40, '0') +
                  "...\" is longer than 64 characters: not a number to count with");
    // Exactly 64 characters still read as a number.
    EXPECT_EQ(answer(std::string(62, '0') + "10 3").problem, "");
}

TEST(ConsoleAnswers, RefuseOrdersTheMethodCannotUse) {
    EXPECT_EQ(answer("10 1").problem,
              "m=1 is too small: the maximum order m must be an odd number of at least 3");
    EXPECT_EQ(answer("10 -3").problem,
              "m=-3 is too small: the maximum order m must be an odd number of at least 3");
    EXPECT_EQ(answer("12 4").problem,
              "m=4 is even: the maximum order m must be an odd number (an even m gives no upper "
              "bound)");
    EXPECT_EQ(answer("9 5").problem,
              "m=5 is larger than n/2=4: every subsequence needs at least m events, so no pass "
              "could run");
    EXPECT_EQ(answer("-5 3").problem,
              "n=-5 is too small: at least 6 events are needed (two subsequences of at least 3 "
              "events each)");
    EXPECT_EQ(answer("5 3").problem.substr(0, 19), "n=5 is too small: a");
}

TEST(ConsoleAnswers, RefuseSizesThatOverflowThirtyTwoBitCounts) {
    EXPECT_EQ(answer("2345 3").problem,
              "n=2345, m=3 need more intersection probabilities than a 32-bit integer can count");
    EXPECT_EQ(answer("2344 3").problem, "");
    EXPECT_EQ(answer("100 15").problem,
              "m=15 is too large: its moment coefficients do not fit in 32-bit integers");
    EXPECT_EQ(answer("3000000000 3").problem,
              "n=3000000000 is too large: at most 2147483647 events can be counted");
}

TEST(ConsoleAnswers, AcceptTheLargestOrderWhoseCoefficientsFit) {
    // Every S(k,k')·k'! up to order 11 fits in 32 bits; S(12,10)·10! does not.
    std::int32_t largest = 0;
    for (std::int32_t m = 3; m <= 21; m += 2) {
        if (checkOrder(2 * m, m).empty())
            largest = m;
    }
    EXPECT_EQ(largest, 11);
}

TEST(ParseWholeNumber, TakesAnOptionalSignAndDigits) {
    std::int64_t value = 0;
    EXPECT_TRUE(parseWholeNumber("+10", value));
    EXPECT_EQ(value, 10);
    EXPECT_TRUE(parseWholeNumber("-9223372036854775808", value));
    EXPECT_EQ(value, kInt64Min);
    EXPECT_TRUE(parseWholeNumber("007", value));
    EXPECT_EQ(value, 7);
}

TEST(ParseWholeNumber, RefusesEverythingElse) {
    std::int64_t value = 0;
    for (const char* word : {"", "+", "-", "+-1", "-+1", "++1", "1.0", "1e3", "0x10", " 1", "1 ",
                             "9223372036854775808", "ten"}) {
        EXPECT_FALSE(parseWholeNumber(word, value)) << word;
    }
}

TEST(CheckOrder, GivesTheReasonOfNWhenNItselfCannotBeRun) {
    EXPECT_EQ(checkOrder(kInt64Max, 3), checkEvents(kInt64Max));
    EXPECT_EQ(checkOrder(std::int64_t{1} << 31, 3), checkEvents(std::int64_t{1} << 31));
    EXPECT_EQ(checkOrder(kInt64Min, -1), checkEvents(kInt64Min));
    EXPECT_EQ(checkOrder(5, 3), checkEvents(5));
}

TEST(CheckOrder, AcceptsTheSmallestRunnableOrders) {
    EXPECT_EQ(checkOrder(6, 3), "");
    EXPECT_EQ(checkOrder(10, 5), "");
}

TEST(CheckOrder, RefusesEvenTooSmallAndTooLargeOrders) {
    EXPECT_NE(checkOrder(10, 4).find("is even"), std::string::npos);
    EXPECT_NE(checkOrder(10, 1).find("is too small"), std::string::npos);
    EXPECT_NE(checkOrder(10, -3).find("is too small"), std::string::npos);
    EXPECT_NE(checkOrder(10, 7).find("larger than n/2=5"), std::string::npos);
    EXPECT_NE(checkOrder(std::int64_t{std::numeric_limits<std::int32_t>::max()}, kInt64Max)
                  .find("larger than n/2"),
              std::string::npos);
}

TEST(CheckOrder, RefusesAnIntersectionCountBeyond32Bits) {
    // C(2344,1) + C(2344,2) + C(2344,3) < 2^31 <= the same sum for 2345.
    EXPECT_EQ(checkOrder(2344, 3), "");
    EXPECT_NE(checkOrder(2345, 3).find("more intersection probabilities"), std::string::npos);
}

TEST(AskEventsAndOrder, SaysWhenTheInputEndsBeforeN) {
    std::string shown;
    const ConsoleAnswers answers = answer("  \n", &shown);
    EXPECT_NE(answers.problem.find("ended before n"), std::string::npos) << answers.problem;
    EXPECT_EQ(shown, "Number of events. n=");
}

TEST(AskEventsAndOrder, SaysWhenTheInputEndsBeforeM) {
    const ConsoleAnswers answers = answer("10\n");
    EXPECT_NE(answers.problem.find("ended before m"), std::string::npos) << answers.problem;
    EXPECT_EQ(answers.n, 0);
}

TEST(AskEventsAndOrder, ShowsAWordThatIsNotANumberWithoutItsControlBytes) {
    const ConsoleAnswers answers = answer(std::string("1\0x\x7f", 4) + " 3");
    EXPECT_EQ(answers.problem, "n (the number of events) must be a whole number, not \"1?x?\"");
}

TEST(AskEventsAndOrder, CallsANumberBeyond64BitsTooLargeRatherThanNotANumber) {
    EXPECT_EQ(answer("99999999999999999999 3").problem,
              "n (the number of events) \"99999999999999999999\" is too large to be counted");
    EXPECT_EQ(answer("10 -99999999999999999999").problem,
              "m (the maximum order of the intersections) \"-99999999999999999999\" is too "
              "small to be counted");
}

TEST(AskEventsAndOrder, RefusesAnNBeyond32BitsWithoutAskingForM) {
    std::string shown;
    const ConsoleAnswers answers = answer("2147483648 3", &shown);
    EXPECT_NE(answers.problem.find("n=2147483648 is too large"), std::string::npos)
        << answers.problem;
    EXPECT_EQ(shown, "Number of events. n=");
}

}  // namespace
}  // namespace unionbound
