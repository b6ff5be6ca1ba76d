// The binomial moments of many passes in one walk over the probabilities.
//
// Every moment is a sum of the probabilities of the subsets of one shape
// (k events inside one subsequence, or d events of one subsequence with e of
// another). In the subset order, the subsets of one shape that share all but
// their last element sit at consecutive positions, so a moment is a sum of
// runs of consecutive probabilities, met in increasing order. Each sum still
// starts at 0.0 and adds its terms one by one in increasing subset order:
// the result is the same double as the plain scan of every subset gives.
//
// When every pass divides the events as the driver does (order m for each
// subsequence, the pairs (1,2) … (1,q)), the walk goes once through the
// probabilities in order, row by row: the subsets that share all but their
// last event. Where a row meets a pass follows from the subsequences of its
// first events, so each pass takes its runs of the row while the row is in
// the cache; long runs are added four side by side, short ones at once.
//
// Other divisions are walked in pieces that stay in the cache, every moment
// that has terms in a piece adding them there; sums with long runs are
// carried four side by side, sums with short runs one after the other.
#pragma once

#include <cstdint>
#include <vector>

#include "numeric/types.hpp"

namespace unionbound {

// The division of one pass, as binomialMoments takes it.
struct PassDivision {
    std::int32_t l;
    IntMatrix pairs;
    IntVector orders;
};

struct PassMoments {
    RealVector moments;  // as binomialMoments(prob, n, l, m, pairs, orders)
    std::int64_t terms;  // the number of probabilities its sums added
};

// The number of probabilities the walk takes at a time (512 KiB).
inline constexpr std::int64_t kMomentPiece = std::int64_t{1} << 16;

// Sums whose runs are about this long or longer go side by side.
inline constexpr std::int64_t kLongRun = 16;

// binomialMoments for every pass of `passes`, in one walk over `prob`, taken
// `piece` probabilities at a time. Subsequence numbers outside 1 … q, pairs
// of one subsequence with itself and orders above m match no subset (their
// moments are 0.0).
std::vector<PassMoments> binomialMomentsOfPasses(const RealVector& prob, std::int32_t n,
                                                 std::int32_t m,
                                                 const std::vector<PassDivision>& passes,
                                                 std::int64_t piece = kMomentPiece);

// The same, with the sums whose runs are about `longRun` or longer side by
// side and the others one after the other (the result does not depend on it).
std::vector<PassMoments> binomialMomentsOfPasses(const RealVector& prob, std::int32_t n,
                                                 std::int32_t m,
                                                 const std::vector<PassDivision>& passes,
                                                 std::int64_t piece, std::int64_t longRun);

}  // namespace unionbound
