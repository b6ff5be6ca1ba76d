// The subset order of the intersection probabilities: all subsets of 1 … m
// of the events 1 … n, by size and then lexicographically in their increasing
// element lists. Position p of "prob.txt" holds the probability of the
// intersection of the p-th subset of this order.
#pragma once

#include <cstdint>

#include "numeric/types.hpp"

namespace unionbound {

// Counts above this are reported as kCountTooLarge instead of being formed.
inline constexpr std::int64_t kCountTooLarge = std::int64_t{1} << 31;

// C(n, k), the number of k-subsets of n events, by the running product
// a = (n + j - k)·a / j (j = 1 … k, exact divisions); 0 when n < k or k < 0.
// Saturates: any value of 2^31 or more is returned as kCountTooLarge.
std::int64_t subsetCount(std::int64_t n, std::int64_t k);

// C(n,1) + … + C(n,m), the number of intersection probabilities for n events
// and orders up to m (0 for m < 1); kCountTooLarge when it does not fit in a
// signed 32-bit integer.
std::int64_t intersectionCount(std::int32_t n, std::int32_t m);

// All subsets of {1 … n} with 1 … m elements, one increasing row per subset,
// in the subset order (built by unranking). Meant for small n and tests: the
// pipeline walks the order with SubsetCursor instead.
IntMatrix allSubsets(std::int32_t n, std::int32_t m);

// The subset at position p (from 0) of the subset order for (n, m), as an
// increasing list of event numbers; empty when p is outside the order.
IntVector subsetAtPosition(std::int32_t n, std::int32_t m, std::int64_t p);

// The position (from 0) of `subset`, an increasing list of 1 … m event
// numbers out of 1 … n, in the subset order for (n, m): the inverse of
// subsetAtPosition. -1 when the list is empty, longer than m, not increasing
// or outside 1 … n.
std::int64_t subsetPosition(std::int32_t n, std::int32_t m, const IntVector& subset);

// A running enumeration of the subset order, one subset at a time, without
// building the list: start with the first subset, step with next().
class SubsetCursor {
  public:
    SubsetCursor(std::int32_t n, std::int32_t m);
    // False once the order is exhausted (or was empty).
    bool valid() const { return valid_; }
    // The current subset, increasing event numbers.
    const IntVector& subset() const { return elements_; }
    // Moves to the next subset of the order.
    void next();

  private:
    std::int32_t n_;
    std::int32_t m_;
    bool valid_;
    IntVector elements_;
};

}  // namespace unionbound
