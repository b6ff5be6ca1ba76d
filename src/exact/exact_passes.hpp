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

}  // namespace unionbound
