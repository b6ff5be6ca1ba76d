// Moving the origin of every coordinate: power moments of X_j become power
// moments of X_j - h_j by the binomial expansion.
#pragma once

#include <cstdint>
#include <map>
#include <utility>

#include "numeric/types.hpp"

namespace unionbound {

// Position of the first entry of L equal to ((j),(e)), or -1.
std::int32_t findSingleEntry(const IntMatrixList& L, std::int32_t j, std::int32_t e);
// Position of the first entry of L equal to ((j1,j2),(e1,e2)), or -1.
std::int32_t findMixedEntry(const IntMatrixList& L, std::int32_t j1, std::int32_t j2,
                            std::int32_t e1, std::int32_t e2);

// The answers of findSingleEntry and findMixedEntry for one list, gathered
// in one walk over the list so that a pass looks each moment up in constant
// time. Like the scans, a lookup gives the first matching entry, or -1.
class MomentLookup {
  public:
    explicit MomentLookup(const IntMatrixList& L);
    std::int32_t single(std::int32_t j, std::int32_t e) const;
    std::int32_t mixed(std::int32_t j1, std::int32_t j2, std::int32_t e1, std::int32_t e2) const;

  private:
    std::vector<IntVector> single_;                                                  // [j][e]
    std::map<std::pair<std::int32_t, std::int32_t>, std::vector<IntVector>> mixed_;  // [e1][e2]
};

// The moments of the shifted coordinates X_j - shifts[j-1], one per entry of
// momentIndex, in its order: 1.0; then for every one-coordinate entry
// ((j),(e)), Σ_t C(e,t)·a^(e-t)·μ(t) with a = -h_j; then for every
// two-coordinate entry the double sum over (t1, t2). The terms are
// accumulated in a fixed order (see the implementation), which decides the
// last bits. `orders` gives the number of one-coordinate entries, Σ orders.
// When the list does not have that layout, a coordinate has no shift, or a
// moment that the expansion needs is missing, sends a line naming the
// problem to the diagnostic sink and returns an empty vector.
RealVector shiftMoments(const RealVector& rhs, const RealVector& shifts,
                        const IntMatrixList& momentIndex, const IntVector& orders);

// The same with the lookups of momentIndex prepared by the caller.
RealVector shiftMoments(const RealVector& rhs, const RealVector& shifts,
                        const IntMatrixList& momentIndex, const IntVector& orders,
                        const MomentLookup& lookup);

}  // namespace unionbound
