// The closing lines of the exact methods: the best proven bounds of the
// passes (--exact) and the sharpest bounds from all the data (--sharpest).
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>

#include "exact/exact_passes.hpp"
#include "numeric/proven_bound.hpp"

namespace unionbound {

// "Exact upper bound: V (l=L)", "Exact lower bound: V (l=L)" and, when both
// were proven, "Exact interval: [lower, upper]"; a side no pass proved says
// "none proven", and both say "none (no passes: m > n/2)" where no pass ran.
// Values with 15 significant digits, as the summary.
void writeExactSummary(std::ostream& out, const BestExactBounds& best);

// "Sharpest upper bound: V" and "Sharpest lower bound: V", or "none proven"
// with the reason.
void writeSharpestSummary(std::ostream& out, const ProvenInterval& sharpest);

}  // namespace unionbound
