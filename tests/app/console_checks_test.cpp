#include "app/console_input.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>

namespace unionbound {
namespace {

constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();

ConsoleAnswers answer(const std::string& typed, std::string* shown = nullptr) {
    std::istringstream in(typed);
    std::ostringstream out;
    ConsoleAnswers answers = askEventsAndOrder(in, out);
    if (shown != nullptr) {
        *shown = out.str();
    }
    return answers;
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

// Found by the console fuzz target: for an n beyond 32 bits the table size
// check multiplied past the 64-bit range (undefined behaviour, caught by
// UndefinedBehaviorSanitizer) and could accept an n the program cannot run.
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

TEST(AskEventsAndOrder, AcceptsTwoNumbersOnOneLine) {
    std::string shown;
    const ConsoleAnswers answers = answer("10 3", &shown);
    EXPECT_EQ(answers.problem, "");
    EXPECT_EQ(answers.n, 10);
    EXPECT_EQ(answers.m, 3);
    EXPECT_EQ(shown,
              "Number of events. n=Maximum order of the intersections (must be an odd number). m=");
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
