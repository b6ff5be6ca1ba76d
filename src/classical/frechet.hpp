// The Fréchet bounds of a pair of events: max(0, P(a) + P(b) - 1) ≤
// P(a ∩ b) ≤ min(P(a), P(b)) for every joint distribution. Probabilities
// that break them belong to no distribution: a quick check that names the
// first offending numbers before any bound is sought.
#pragma once

#include <cstdint>
#include <optional>

#include "numeric/types.hpp"

namespace unionbound {

// A pair (a, b), a < b, whose probability lies outside its Fréchet bounds.
struct FrechetViolation {
    std::int32_t a;
    std::int32_t b;
    double pair;      // P(a ∩ b)
    double first;     // P(a)
    double second;    // P(b)
    bool aboveEvent;  // P(a ∩ b) > min(P(a), P(b)); else P(a ∩ b) < P(a) + P(b) - 1
};

// The first pair, in the subset order, whose probability lies beyond its
// Fréchet bounds by more than `slack` plus the rounding of the comparison
// itself (each of the three probabilities may be off by `slack`, so a pair
// is named only when no probabilities within `slack` of the given ones
// could satisfy the bounds). `prob` is in the subset order for (n, m) with
// m ≥ 2 and holds at least the singles and the pairs; none for m < 2.
std::optional<FrechetViolation> firstFrechetViolation(const RealVector& prob, std::int32_t n,
                                                      std::int32_t m, double slack);

}  // namespace unionbound
