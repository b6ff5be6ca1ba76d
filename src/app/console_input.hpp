// The two numbers of the console dialogue, read and checked before anything
// else happens.
#pragma once

#include <cstdint>
#include <ios>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

namespace unionbound {

// The longest word the dialogue reads for n or m: a longer one is refused on
// its first characters, so a console fed an endless word holds no more.
inline constexpr std::streamsize kLongestConsoleWord = 64;

// Takes a word as a whole number: optional sign ('+' or '-') and decimal
// digits, nothing else. False when the word is anything else or out of range.
bool parseWholeNumber(std::string_view word, std::int64_t& value);

// Why n events cannot be bounded, or empty: at least 6 events are needed
// (two subsequences of at least 3).
std::string checkEvents(std::int64_t n);

// Why the order m cannot be used with n events, or empty: n must pass
// checkEvents (its reason is given first), m must be odd, at least 3, at most
// n/2, and small enough that the intersection count, the per-pass tables and
// the integer moment coefficients fit in 32-bit integers. Defined for every
// pair of 64-bit numbers.
std::string checkOrder(std::int64_t n, std::int64_t m);

// The answers of the dialogue: n and m, or the problem that stops the run.
struct ConsoleAnswers {
    std::int32_t n = 0;
    std::int32_t m = 0;
    std::string problem;  // empty when n and m may be used
};

// Writes "Number of events. n=", reads a word from `in` and checks it; then
// the same for "Maximum order of the intersections (must be an odd number).
// m=". Stops at the first problem (the second prompt is then not written).
ConsoleAnswers askEventsAndOrder(std::istream& in, std::ostream& out);

}  // namespace unionbound
