// The sizes of a problem that the passes can be run with: enough events for
// two subsequences, an odd order, and every count, table index and integer
// moment coefficient within 32 bits.
#pragma once

#include <cstdint>

#include "text/parsed.hpp"

namespace unionbound {

// n events and intersections of up to m of them, both checked.
struct ProblemSize {
    std::int32_t n = 0;
    std::int32_t m = 0;
};

// n as a count of events, or why it cannot be bounded: at least 6 events are
// needed (two subsequences of at least 3), and at most 2^31 - 1 are counted.
Parsed<std::int32_t> checkEvents(std::int64_t n);

// n and m, or why the order m cannot be used with n events: n must pass
// checkEvents (its reason is given first), m must be odd, at least 3, at most
// n/2, and small enough that the intersection count, the moment table of the
// largest pass and the integer moment coefficients fit in 32-bit integers.
// Defined for every pair of 64-bit numbers.
Parsed<ProblemSize> checkOrder(std::int64_t n, std::int64_t m);

// n and m for the methods that hold for any order (the exact and the
// sharpest bounds), or why they cannot be used: 1 ≤ m ≤ n, n at most
// 2^31 - 1, and the intersection count within 32 bits. Defined for every
// pair of 64-bit numbers.
Parsed<ProblemSize> checkAnyOrder(std::int64_t n, std::int64_t m);

// True when every integer coefficient of the conversion matrix for order m,
// S(k,k')·k'! and S(e,e')·S(d,d')·e'!·d'!, fits in a signed 32-bit integer.
bool coefficientsFit(std::int64_t m);

}  // namespace unionbound
