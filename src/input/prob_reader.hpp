// Reading the intersection probabilities ("prob.txt").
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "numeric/types.hpp"
#include "text/parsed.hpp"

namespace unionbound {

class ProbabilityConsumer;

// The probabilities, or what is wrong and where.
using ProbabilityInput = Parsed<RealVector>;

// Values may lie this far outside [0, 1]: rounding in the program that wrote
// the file, not a wrong probability.
inline constexpr double kProbabilityTolerance = 1e-9;

// Where the text of the numbers comes from: a file by its path, or the
// process's standard input.
struct TextSource {
    std::string path;
    bool standardInput = false;

    static TextSource file(std::string path) { return {std::move(path), false}; }
    static TextSource input() { return {"", true}; }
    // How messages name it: "prob.txt" (quoted), or standard input.
    std::string shown() const;
};

// The words after the expected numbers of a text: not read as numbers, only
// counted, so that a file written for other sizes can be told.
struct TrailingWords {
    std::int64_t count = 0;
};

// Reads the C(n,1) + … + C(n,m) probabilities, white-space separated, in the
// subset order, each as parseDecimal reads it. Words after those are only
// counted (streamIntersectionProbabilities says how many). Refused, with a message: a file that cannot be opened or read, one
// that ends early, a token that is not a number, a value that is not finite
// or lies outside [0, 1] by more than kProbabilityTolerance. `path` is also the name used in
// messages. Precondition: n ≥ 1, 1 ≤ m and the count fits in a signed 32-bit integer. `progress`
// (if set) is told the numbers read so far and the count expected after every piece of the file (a
// megabyte).
using ReadProgress = std::function<void(std::int64_t numbersRead, std::int64_t expected)>;
ProbabilityInput readIntersectionProbabilities(std::int32_t n, std::int32_t m,
                                               const std::string& path = "prob.txt",
                                               const ReadProgress& progress = {});

// Reads and checks the same numbers with the same refusals, but keeps none
// of them: they go to `consumer` in the subset order, in blocks, as they are
// read. Succeeds once all the numbers went to the consumer. A refused file
// may have given the consumer the numbers before the one refused (and at
// most that many); its outcome is to be dropped.
// The text is read to its end, and the words after the numbers counted.
Expected<TrailingWords> streamIntersectionProbabilities(std::int32_t n, std::int32_t m,
                                                        const TextSource& source,
                                                        ProbabilityConsumer& consumer,
                                                        const ReadProgress& progress = {});

// The same checks on probabilities already in memory (`values`, in the
// subset order): there must be exactly C(n,1) + … + C(n,m) of them, each a
// number within kProbabilityTolerance of [0, 1]. They go to `consumer` in
// the blocks a file's reading would give; a refusal names the first number
// refused, and is given before any number went to the consumer.
Expected<void> streamGivenProbabilities(std::int32_t n, std::int32_t m, const RealVector& values,
                                        ProbabilityConsumer& consumer);

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
