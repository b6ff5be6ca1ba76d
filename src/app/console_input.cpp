#include "app/console_input.hpp"

#include <cctype>
#include <charconv>
#include <iomanip>
#include <limits>
#include <vector>

#include "moments/subsets.hpp"

namespace unionbound {

namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// True when every integer coefficient of the conversion matrix for order m,
// S(k,k')·k'! and S(e,e')·S(d,d')·e'!·d'!, fits in a signed 32-bit integer.
bool coefficientsFit(std::int64_t m) {
    if (m > 20) {
        return false;
    }
    std::vector<std::vector<std::int64_t>> S(m + 1, std::vector<std::int64_t>(m + 1, 0));
    std::vector<std::int64_t> fact(m + 1, 1);
    for (std::int64_t a = 0; a <= m; ++a) {
        fact[a] = a == 0 ? 1 : fact[a - 1] * a;
        for (std::int64_t b = 0; b <= a; ++b) {
            S[a][b] = a == b ? 1 : b == 0 ? 0 : S[a - 1][b - 1] + b * S[a - 1][b];
        }
    }
    for (std::int64_t k = 1; k <= m; ++k) {
        for (std::int64_t kk = 1; kk <= k; ++kk) {
            if (S[k][kk] * fact[kk] > kInt32Max) {
                return false;
            }
        }
    }
    for (std::int64_t e = 1; e < m; ++e) {
        for (std::int64_t d = 1; d + e <= m; ++d) {
            for (std::int64_t ee = 1; ee <= e; ++ee) {
                for (std::int64_t dd = 1; dd <= d; ++dd) {
                    if (S[e][ee] * S[d][dd] * fact[ee] * fact[dd] > kInt32Max) {
                        return false;
                    }
                }
            }
        }
    }
    return true;
}

// An optional sign and one or more decimal digits: a whole number, though
// perhaps one out of range.
bool isSignedDigits(std::string_view word) {
    if (!word.empty() && (word[0] == '+' || word[0] == '-')) {
        word.remove_prefix(1);
    }
    return !word.empty() && word.find_first_not_of("0123456789") == std::string_view::npos;
}

// Reads one white-space separated word for `name` and takes it as a whole
// number; returns the problem, or empty.
std::string readNumber(std::istream& in, const char* name, const char* meaning,
                       std::int64_t& value) {
    std::string word;
    if (!(in >> std::setw(kLongestConsoleWord) >> word)) {
        return std::string("the input ended before ") + name + " (" + meaning + ") was typed";
    }
    const int next = in.peek();
    const bool cut = static_cast<std::streamsize>(word.size()) == kLongestConsoleWord &&
                     next != std::char_traits<char>::eof() &&
                     !std::isspace(static_cast<unsigned char>(next));
    if (!cut && parseWholeNumber(word, value)) {
        return {};
    }
    std::string shown;
    for (char c : word.substr(0, 40)) {
        const auto byte = static_cast<unsigned char>(c);
        shown += byte >= 0x20 && byte < 0x7f ? c : '?';
    }
    shown = "\"" + shown + (word.size() > 40 ? "...\"" : "\"");
    if (cut) {
        return std::string(name) + " (" + meaning + ") " + shown + " is longer than " +
               std::to_string(kLongestConsoleWord) + " characters: not a number to count with";
    }
    if (isSignedDigits(word)) {
        return std::string(name) + " (" + meaning + ") " + shown + " is too " +
               (word[0] == '-' ? "small" : "large") + " to be counted";
    }
    return std::string(name) + " (" + meaning + ") must be a whole number, not " + shown;
}

}  // namespace

bool parseWholeNumber(std::string_view word, std::int64_t& value) {
    if (word.size() >= 2 && word[0] == '+' && word[1] != '-' && word[1] != '+') {
        word.remove_prefix(1);
    }
    const auto parsed = std::from_chars(word.data(), word.data() + word.size(), value);
    return parsed.ec == std::errc() && parsed.ptr == word.data() + word.size();
}

std::string checkEvents(std::int64_t n) {
    if (n < 6) {
        return "n=" + std::to_string(n) +
               " is too small: at least 6 events are needed (two subsequences of at least 3 "
               "events each)";
    }
    if (n > kInt32Max) {
        return "n=" + std::to_string(n) + " is too large: at most " + std::to_string(kInt32Max) +
               " events can be counted";
    }
    return {};
}

std::string checkOrder(std::int64_t n, std::int64_t m) {
    // The table sizes below are only computed for an n that can be run.
    if (std::string events = checkEvents(n); !events.empty()) {
        return events;
    }
    const std::string named = "m=" + std::to_string(m);
    if (m < 3) {
        return named + " is too small: the maximum order m must be an odd number of at least 3";
    }
    if (m % 2 == 0) {
        return named +
               " is even: the maximum order m must be an odd number (an even m gives no upper "
               "bound)";
    }
    if (m > n / 2) {
        return named + " is larger than n/2=" + std::to_string(n / 2) +
               ": every subsequence needs at least m events, so no pass could run";
    }
    if (!coefficientsFit(m)) {
        return named + " is too large: its moment coefficients do not fit in 32-bit integers";
    }
    const auto n32 = static_cast<std::int32_t>(n);
    const auto m32 = static_cast<std::int32_t>(m);
    if (intersectionCount(n32, m32) >= kCountTooLarge) {
        return "n=" + std::to_string(n) + ", " + named +
               " need more intersection probabilities than a 32-bit integer can count";
    }
    // The largest pass table is that of l = m: q = n/m subsequences.
    const std::int64_t q = n / m;
    const std::int64_t entries = 1 + q * m + (q - 1) * (m * (m - 1) / 2);
    if (entries > kInt32Max / entries) {
        return "n=" + std::to_string(n) + ", " + named +
               " give a moment table too large for 32-bit indices";
    }
    return {};
}

ConsoleAnswers askEventsAndOrder(std::istream& in, std::ostream& out) {
    ConsoleAnswers answers;
    std::int64_t n = 0;
    std::int64_t m = 0;
    out << "Number of events. n=" << std::flush;
    answers.problem = readNumber(in, "n", "the number of events", n);
    if (answers.problem.empty()) {
        answers.problem = checkEvents(n);
    }
    if (!answers.problem.empty()) {
        return answers;
    }
    out << "Maximum order of the intersections (must be an odd number). m=" << std::flush;
    answers.problem = readNumber(in, "m", "the maximum order of the intersections", m);
    if (answers.problem.empty()) {
        answers.problem = checkOrder(n, m);
    }
    if (answers.problem.empty()) {
        answers.n = static_cast<std::int32_t>(n);
        answers.m = static_cast<std::int32_t>(m);
    }
    return answers;
}

}  // namespace unionbound
