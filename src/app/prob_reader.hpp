// Reading the intersection probabilities ("prob.txt").
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "numeric/types.hpp"

namespace unionbound {

// The probabilities, or the reason why there are none. `error` is empty on
// success; otherwise it says what is wrong and where, and `values` is empty.
struct ProbabilityInput {
    RealVector values;
    std::string error;
    bool ok() const { return error.empty(); }
};

// Values may lie this far outside [0, 1]: rounding in the program that wrote
// the file, not a wrong probability.
inline constexpr double kProbabilityTolerance = 1e-9;

// How one token reads as a number: exactly the double that formatted stream
// extraction in the C locale gives (a leading '+', a leading '.', exponent
// forms, and values that round to a subnormal or to zero included).
enum class TokenValue { number, notANumber, notFinite };
TokenValue parseProbabilityToken(std::string_view token, double& value);

// The quick reading of a plain decimal token: an optional sign, digits with
// at most one '.', an optional exponent (e or E, an optional sign, one to
// four digits), at least one digit before the exponent and at most 18
// significant digits, whose value is w / 10^k for 0 ≤ k ≤ 27. True with the
// value rounded to nearest, ties to even (the double that
// parseProbabilityToken gives); false for any other token and for the rare
// value whose rounding this reading cannot settle, which then go the long way.
bool readPlainDecimal(std::string_view token, double& value);

// Reads the C(n,1) + … + C(n,m) probabilities, white-space separated, in the
// subset order. Numbers after those are not read. Refused, with a message:
// a file that cannot be opened or read, one that ends early, a token that is
// not a number, a value that is not finite or lies outside [0, 1] by more
// than kProbabilityTolerance. `path` is also the name used in messages.
// Precondition: n ≥ 1, 1 ≤ m and the count fits in a signed 32-bit integer.
// `progress` (if set) is told the numbers read so far and the count expected
// after every piece of the file (a megabyte).
using ReadProgress = std::function<void(std::int64_t numbersRead, std::int64_t expected)>;
ProbabilityInput readIntersectionProbabilities(std::int32_t n, std::int32_t m,
                                               const std::string& path = "prob.txt",
                                               const ReadProgress& progress = {});

// The same on text already in memory, `name` standing for the file in messages.
ProbabilityInput parseIntersectionProbabilities(std::string_view text, std::int32_t n,
                                                std::int32_t m, const std::string& name);

// The same on text cut into consecutive pieces, as the file reader gets it
// (1 MiB at a time): a number or a line break may be cut anywhere, and the
// result, message included, is the one for the whole text.
ProbabilityInput parseIntersectionProbabilityPieces(const std::vector<std::string_view>& pieces,
                                                    std::int32_t n, std::int32_t m,
                                                    const std::string& name);

}  // namespace unionbound
