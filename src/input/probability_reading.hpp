// One reading of "prob.txt" that keeps, of the intersection probabilities,
// only what the run asks for: the binomial moments of the passes, the sums
// S_k, the single events and pairs, or all of them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "input/prob_reader.hpp"
#include "moments/moment_sweep.hpp"
#include "numeric/double_double.hpp"
#include "numeric/types.hpp"
#include "text/parsed.hpp"
#include "threads/pool.hpp"

namespace unionbound {

// What a reading keeps besides checking every number.
struct ReadingRequest {
    std::vector<PassDivision> passes;  // chain divisions whose binomial moments are summed
    bool sums = false;                 // S_0 … S_m
    bool singlesAndPairs = false;      // the first C(n,1) + C(n,2) probabilities
    bool everyProbability = false;     // all of them (memory grows with the file)
    // The run's threads: with a helper, the numbers are summed on it while
    // the calling thread reads on; without (or null), between the pieces of
    // the file in the calling thread. The results are the same either way.
    ThreadPool* pool = nullptr;
};

// What a reading kept; a part that was not asked for is empty.
struct ReadingResult {
    std::vector<PassMoments>
        passMoments;                 // as binomialMomentsOfPasses gives them, in request order
    std::vector<DoubleDouble> sums;  // as binomialSums gives them
    RealVector singlesAndPairs;
    RealVector probabilities;
    std::int64_t walkMicroseconds = 0;  // processor time of the walk of the passes' moments
    // The words after the expected numbers of a text, which are not read.
    std::int64_t trailingWords = 0;
};

// Whether the reading thread walks each pass itself when a second thread
// sums too: the passes are shared so that both threads are about equally
// busy, the reading thread also checking every number (so it takes none
// when reading costs more than the whole walk).
std::vector<bool> passesOfTheReader(std::int32_t n, std::int32_t m,
                                    const std::vector<PassDivision>& passes);

// Reads the C(n,1) + … + C(n,m) probabilities of `source` with the refusals
// of readIntersectionProbabilities (same messages), forming what `request`
// asks for while the numbers stream past; nothing is kept that was not
// asked for, so memory does not grow with the file unless every probability
// is asked for. Preconditions: those of readIntersectionProbabilities, and
// every pass a chain division of (n, m).
Parsed<ReadingResult> readProbabilities(std::int32_t n, std::int32_t m, const TextSource& source,
                                        const ReadingRequest& request,
                                        const ReadProgress& progress = {});

// The same on probabilities already in memory, with the checks of
// streamGivenProbabilities.
Parsed<ReadingResult> readProbabilities(std::int32_t n, std::int32_t m, const RealVector& values,
                                        const ReadingRequest& request);

// The same on any source: it hands every checked number to the consumer it
// is given, in the subset order, and counts the words after them, or refuses.
using ProbabilitySource = std::function<Expected<TrailingWords>(ProbabilityConsumer& consumer)>;
Parsed<ReadingResult> readProbabilities(std::int32_t n, std::int32_t m,
                                        const ReadingRequest& request,
                                        const ProbabilitySource& source);

}  // namespace unionbound
