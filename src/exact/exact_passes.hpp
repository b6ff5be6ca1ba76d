// The exact bounds of every pass of a run, on the moments the reading summed,
// the passes shared among threads.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "moments/moment_sweep.hpp"
#include "numeric/proven_bound.hpp"
#include "numeric/types.hpp"
#include "threads/pool.hpp"

namespace unionbound {

// The proven bounds of the pass of length l, with q subsequences.
struct ExactPass {
    std::int32_t l;
    std::int32_t q;
    ProvenInterval bounds;
};

// The smallest proven upper bound and the largest proven lower bound over
// the exact passes, each with the subsequence length of its pass.
struct BestExactBounds {
    std::optional<double> upper;
    std::int32_t upperL = 0;
    std::optional<double> lower;
    std::int32_t lowerL = 0;
    std::int32_t passes = 0;  // the exact passes run (none when m > n/2)
};

// Told, on the calling thread, how many passes are done of how many.
using ExactProgress = std::function<void(std::size_t done, std::size_t total)>;

// The exact passes l = m … n/2 (none when m > n/2), in that order, shared by
// the pool's helpers and the calling thread; each pass is computed alone, so
// the results do not depend on the number of threads. `moments` holds the
// binomial moments of the passDivisions(n, m), in order, 1 ≤ m ≤ n. A pass
// that runs out of memory gives no values and says so. Once `stop` (asked in
// the calling thread) says true no further pass starts: the passes returned
// are then the first ones.
std::vector<ExactPass> runExactPasses(const std::vector<PassMoments>& moments, std::int32_t n,
                                      std::int32_t m, ThreadPool& pool,
                                      const ExactProgress& progress = {},
                                      const std::function<bool()>& stop = {});

// The smallest proven upper bound and the largest proven lower bound over
// the passes; the first pass wins among equal values.
BestExactBounds bestExactBounds(const std::vector<ExactPass>& passes);

}  // namespace unionbound
