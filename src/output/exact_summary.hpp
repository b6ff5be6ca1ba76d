// The closing lines of the exact methods: the best proven bounds of the
// passes (--exact) and the sharpest bounds from all the data (--sharpest).
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>

#include "numeric/proven_bound.hpp"
#include "unionbound/result.hpp"

namespace unionbound {

// The smallest proven upper bound and the largest proven lower bound over
// the exact passes, each with the subsequence length of its pass.
struct BestExactBounds {
    std::optional<double> upper;
    std::int32_t upperL = 0;
    std::optional<double> lower;
    std::int32_t lowerL = 0;
    std::int32_t passes = 0;  // the exact passes run (none when m > n/2)
};

// The best bounds of the exact method's result.
BestExactBounds bestExactBoundsOf(const MethodResult& exact);

// The bounds of the sharpest method's result, each with its reason where it
// has no value.
ProvenInterval provenIntervalOf(const MethodResult& sharpest);

// "Exact upper bound: V (l=L)", "Exact lower bound: V (l=L)" and, when both
// were proven, "Exact interval: [lower, upper]"; a side no pass proved says
// "none proven", and both say "none (no passes: m > n/2)" where no pass ran.
// Values with 15 significant digits, as the summary.
void writeExactSummary(std::ostream& out, const BestExactBounds& best);

// "Sharpest upper bound: V" and "Sharpest lower bound: V", or "none proven"
// with the reason.
void writeSharpestSummary(std::ostream& out, const ProvenInterval& sharpest);

}  // namespace unionbound
