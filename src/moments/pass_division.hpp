// How a pass divides the events: for the subsequence length l, the n events
// fall into q = n / l consecutive subsequences of l events, the last one
// taking the rest (l to 2l - 1 events). Every method that works pass by pass
// takes its division from here.
#pragma once

#include <cstdint>
#include <vector>

#include "numeric/types.hpp"

namespace unionbound {

// The number of subsequences, q = n / l. Precondition: 1 ≤ l ≤ n.
std::int32_t subsequenceCount(std::int32_t n, std::int32_t l);

// The lengths of the q subsequences, in order: l, …, l, n - (q - 1)·l.
// Precondition: 1 ≤ l ≤ n.
IntVector subsequenceLengths(std::int32_t n, std::int32_t l);

// The division of one pass as its binomial moments are summed: the length
// l, the pairs (1, c) of the first subsequence with every other, c = 2 … q,
// and the order of the moments of each subsequence.
struct PassDivision {
    std::int32_t l;
    IntMatrix pairs;
    IntVector orders;
};

// The division of the pass of length l over n events for order m: pairs
// (1,2) … (1,q), order m for every subsequence. Precondition: 1 ≤ l ≤ n.
PassDivision passDivision(std::int32_t n, std::int32_t l, std::int32_t m);

// The divisions of the passes of a run, l = m … n/2 in that order (none when
// m > n/2).
std::vector<PassDivision> passDivisions(std::int32_t n, std::int32_t m);

}  // namespace unionbound
