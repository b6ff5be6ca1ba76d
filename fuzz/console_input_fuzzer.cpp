// Fuzz target for the console dialogue: arbitrary bytes typed at the console.
//
// Checked for every input:
// - askEventsAndOrder either accepts n and m that every check lets through,
//   or stops with a one-line problem and leaves n and m at 0; it writes the
//   first prompt, and the second one only once n has been accepted;
// - its verdict is the one an independent reading of the first two
//   white-space separated words gives (a whole number is an optional sign
//   and decimal digits within 64 bits);
// - parseWholeNumber agrees with that reading on the whole input as one word;
// - checkEvents and checkOrder, given any two 64-bit numbers taken from the
//   front of the input, only accept what the program can run: 6 ≤ n < 2^31,
//   m odd, 3 ≤ m ≤ n/2, and an intersection count that fits in 32 bits.
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "app/console_input.hpp"
#include "fuzz_input.hpp"
#include "moments/problem_size.hpp"
#include "moments/subsets.hpp"
#include "text/numbers.hpp"

namespace unionbound::fuzzing {
namespace {

constexpr std::string_view kAskEvents = "Number of events. n=";
constexpr std::string_view kAskOrder =
    "Maximum order of the intersections (must be an odd number). m=";

// An optional sign and decimal digits, within 64 bits; computed digit by
// digit, independently of the parser under test.
std::optional<std::int64_t> wholeNumber(std::string_view word) {
    bool negative = false;
    if (!word.empty() && (word[0] == '+' || word[0] == '-')) {
        negative = word[0] == '-';
        word.remove_prefix(1);
    }
    if (word.empty()) {
        return std::nullopt;
    }
    std::uint64_t magnitude = 0;
    for (char c : word) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (magnitude > (UINT64_MAX - digit) / 10) {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + digit;
    }
    constexpr std::uint64_t kLargest = std::uint64_t{INT64_MAX};
    if (negative) {
        if (magnitude > kLargest + 1) {
            return std::nullopt;
        }
        return magnitude == kLargest + 1 ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
    }
    if (magnitude > kLargest) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(magnitude);
}

void checkWholeNumber(std::string_view word) {
    const Parsed<std::int64_t> parsed = parseWholeNumber(word);
    const std::optional<std::int64_t> expected = wholeNumber(word);
    require(parsed.ok() == expected.has_value(), "parseWholeNumber accepts exactly whole numbers",
            word);
    if (parsed.ok()) {
        require(parsed.value() == *expected, "parseWholeNumber gives the number's value", word);
    } else {
        requireOneLineMessage(parsed.message(), "parseWholeNumber says why it refuses");
    }
}

// What the program needs of n and m, stated directly.
bool runnable(std::int64_t n, std::int64_t m) {
    return n >= 6 && n <= INT32_MAX && m >= 3 && m % 2 == 1 && m <= n / 2 &&
           intersectionCount(static_cast<std::int32_t>(n), static_cast<std::int32_t>(m)) <
               kCountTooLarge;
}

void checkLimits(std::int64_t n, std::int64_t m) {
    const Parsed<std::int32_t> events = checkEvents(n);
    require(events.ok() == (n >= 6 && n <= INT32_MAX), "checkEvents accepts 6 … 2^31-1");
    if (!events.ok()) {
        requireOneLineMessage(events.message(), "checkEvents explains a refusal on one line");
    }
    const Parsed<ProblemSize> order = checkOrder(n, m);
    if (order.ok()) {
        require(runnable(n, m), "checkOrder accepts only n and m the program can run");
        require(order.value().n == n && order.value().m == m, "checkOrder gives n and m");
    } else {
        requireOneLineMessage(order.message(), "checkOrder explains a refusal on one line");
    }
}

void checkDialogue(std::string_view typed) {
    std::istringstream in{std::string(typed)};
    std::ostringstream out;
    const Parsed<ProblemSize> answers = askEventsAndOrder(in, out);
    const std::string shown = out.str();

    std::istringstream words{std::string(typed)};
    std::string first, second;
    const bool hasFirst = static_cast<bool>(words >> first);
    const bool hasSecond = hasFirst && static_cast<bool>(words >> second);
    // The dialogue reads at most kLongestConsoleWord characters of a word.
    const auto typedNumber = [](const std::string& word) {
        return static_cast<std::streamsize>(word.size()) <= kLongestConsoleWord ? wholeNumber(word)
                                                                                : std::nullopt;
    };
    const std::optional<std::int64_t> n = hasFirst ? typedNumber(first) : std::nullopt;
    const bool nAccepted = n && checkEvents(*n).ok();

    if (answers.ok()) {
        require(nAccepted, "an accepted dialogue starts with an acceptable n", typed);
        const std::optional<std::int64_t> m = hasSecond ? typedNumber(second) : std::nullopt;
        require(m.has_value() && *m == answers.value().m && *n == answers.value().n,
                "the accepted n and m are the two numbers typed", typed);
        require(runnable(answers.value().n, answers.value().m), "accepted n and m can be run", typed);
        require(shown == std::string(kAskEvents) + std::string(kAskOrder),
                "both prompts are shown once", shown);
        return;
    }
    requireOneLineMessage(answers.message(), "a refused dialogue explains itself on one line");
    require(answers.value().n == 0 && answers.value().m == 0, "a refused dialogue gives no n and no m");
    if (!nAccepted) {
        require(shown == kAskEvents, "the second prompt waits for an acceptable n", shown);
        if (n) {
            require(answers.message() == checkEvents(*n).message(), "a refused n gets checkEvents' reason");
        }
        return;
    }
    require(shown == std::string(kAskEvents) + std::string(kAskOrder),
            "an acceptable n is followed by the second prompt", shown);
    const std::optional<std::int64_t> m = hasSecond ? typedNumber(second) : std::nullopt;
    require(!m || !checkOrder(*n, *m).ok(), "a whole m is refused only when checkOrder refuses",
            typed);
    if (m) {
        require(answers.message() == checkOrder(*n, *m).message(), "a refused m gets checkOrder's reason");
    }
}

}  // namespace
}  // namespace unionbound::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace unionbound::fuzzing;
    const std::string_view typed(reinterpret_cast<const char*>(data), size);
    checkDialogue(typed);
    checkWholeNumber(typed);
    FuzzInput input(data, size);
    const std::int64_t n = input.int64();
    const std::int64_t m = input.int64();
    checkLimits(n, m);
    // Small values, where the limits lie, come up far more often this way.
    checkLimits(n % 4096, m % 64);
    return 0;
}
