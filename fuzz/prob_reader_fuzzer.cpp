// Fuzz target for the probability reader: arbitrary bytes as "prob.txt".
//
// Input layout: byte 0 picks n (1 … 32), byte 1 picks m (1 … 6, so m may
// exceed n), bytes 2 and 3 seed the places where the text is cut into
// pieces, and the rest is the file.
//
// Checked for every input:
// - success gives exactly intersectionCount(n, m) finite values within
//   [-1e-9, 1 + 1e-9]; failure gives a one-line message and no values;
// - the outcome is the one that formatted stream extraction in the C locale
//   implies token by token: every one of the first count white-space
//   separated tokens must read as a whole double, bit for bit the reader's
//   value, and a refusal names the first token that does not (or says after
//   how many numbers the file ends);
// - the outcome, message included, is the same whether the text arrives
//   whole, one byte at a time, or cut at arbitrary places.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <locale>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.hpp"
#include "input/prob_reader.hpp"
#include "moments/subsets.hpp"

namespace unionbound::fuzzing {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::vector<std::string_view> tokensOf(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < text.size() && !isBlank(text[i])) {
            ++i;
        }
        if (i > start) {
            tokens.push_back(text.substr(start, i - start));
        }
    }
    return tokens;
}

// What a C-locale stream makes of one token: a probability it reads whole.
bool streamReadsProbability(std::string_view token, double& value) {
    std::istringstream in{std::string(token)};
    in.imbue(std::locale::classic());
    if (!(in >> value)) {
        return false;
    }
    if (in.peek() != std::char_traits<char>::eof()) {
        return false;  // the stream would stop inside the token
    }
    return std::isfinite(value) && value >= -kProbabilityTolerance &&
           value <= 1.0 + kProbabilityTolerance;
}

bool sameOutcome(const ProbabilityInput& a, const ProbabilityInput& b) {
    if (a.message() != b.message() || a.value().size() != b.value().size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.value().size(); ++i) {
        if (std::bit_cast<std::uint64_t>(a.value()[i]) !=
            std::bit_cast<std::uint64_t>(b.value()[i])) {
            return false;
        }
    }
    return true;
}

void checkAgainstStream(const ProbabilityInput& got, std::string_view text, std::size_t count) {
    if (got.ok()) {
        require(got.value().size() == count, "success gives exactly the expected count of values");
        for (double v : got.value()) {
            require(
                std::isfinite(v) && v >= -kProbabilityTolerance && v <= 1.0 + kProbabilityTolerance,
                "every value read is a finite probability");
        }
    } else {
        requireOneLineMessage(got.message(), "a refusal has a one-line message");
        require(got.value().empty(), "a refusal gives no values");
    }

    const std::vector<std::string_view> tokens = tokensOf(text);
    for (std::size_t i = 0; i < count; ++i) {
        if (i >= tokens.size()) {
            require(!got.ok(), "a file with too few numbers is refused");
            const std::string says =
                "ends after " + std::to_string(i) + " of the " + std::to_string(count) + " numbers";
            require(got.message().find(says) != std::string::npos,
                    "a short file is refused with the count of numbers it has", got.message());
            return;
        }
        double expected = 0.0;
        if (!streamReadsProbability(tokens[i], expected)) {
            require(!got.ok(), "a token that is not a probability is refused", tokens[i]);
            const std::string names =
                ", number " + std::to_string(i + 1) + " of " + std::to_string(count) + " (";
            require(got.message().find(names) != std::string::npos,
                    "a refusal names the first token that is not a probability", got.message());
            return;
        }
        if (got.ok()) {
            require(std::bit_cast<std::uint64_t>(got.value()[i]) ==
                        std::bit_cast<std::uint64_t>(expected),
                    "each value is the stream's value bit for bit", tokens[i]);
        }
    }
    require(got.ok(), "a file whose first numbers are all probabilities is read", got.message());
}

}  // namespace
}  // namespace unionbound::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace unionbound;
    using namespace unionbound::fuzzing;
    FuzzInput input(data, size);
    const std::int32_t n = 1 + input.byte() % 32;
    const std::int32_t m = 1 + input.byte() % 6;
    std::uint32_t seed = input.byte();
    seed = seed << 8 | input.byte();
    const std::string_view text = input.rest();
    const auto count = static_cast<std::size_t>(intersectionCount(n, m));

    const ProbabilityInput whole = parseIntersectionProbabilities(text, n, m, "prob.txt");
    checkAgainstStream(whole, text, count);

    std::vector<std::string_view> bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes.push_back(text.substr(i, 1));
    }
    require(sameOutcome(whole, parseIntersectionProbabilityPieces(bytes, n, m, "prob.txt")),
            "one byte at a time gives the outcome of the whole text");

    // Cuts at places drawn from the seed; empty pieces included.
    std::vector<std::string_view> pieces;
    std::size_t at = 0;
    while (at < text.size()) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t length = (seed >> 16) % 9;  // 0 … 8 bytes, 0 being an empty piece
        const std::size_t take = length < text.size() - at ? length : text.size() - at;
        pieces.push_back(text.substr(at, take));
        at += take;
    }
    pieces.push_back({});
    require(sameOutcome(whole, parseIntersectionProbabilityPieces(pieces, n, m, "prob.txt")),
            "arbitrary cuts give the outcome of the whole text");
    return 0;
}
