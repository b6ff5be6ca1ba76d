// The closing lines of the exact methods: the best proven bounds of the
// passes (--exact) and the sharpest bounds from all the data (--sharpest).
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

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
    Stop stop = Stop::none;   // why the passes ended before the last, if they did
};

// The best bounds of the exact method's result.
BestExactBounds bestExactBoundsOf(const MethodResult& exact);

// Why a method ended early, as the closing lines say it: "stopped at the
// time limit", "stopped by an interrupt", "stopped by the memory plan";
// empty for Stop::none.
std::string stoppedWords(Stop stop);

// What is known of a sharpest bound besides its value: why the method
// stopped early, and how far the bound may lie from the sharpest value
// ("stopped at the time limit: at most 0.0123 from the sharpest"), the
// distance with three significant digits; `tolerance` adds that the
// distance holds up to the LP's tolerance. Empty when there is neither.
std::string sharpestNote(const Bound& bound, Stop stop, bool tolerance);

// "Exact upper bound: V (l=L)", "Exact lower bound: V (l=L)" and, when both
// were proven, "Exact interval: [lower, upper]"; a side no pass proved says
// "none proven", and both say "none (no passes: m > n/2)" where no pass ran
// (or "none (stopped at the time limit)" where the first was stopped).
// Values with 15 significant digits, as the summary.
void writeExactSummary(std::ostream& out, const BestExactBounds& best);

// "Sharpest upper bound: V" and "Sharpest lower bound: V", each followed by
// its note in parentheses where it has one ("Sharpest upper bound: V (at
// most 2e-12 from the sharpest, up to the LP's tolerance)"); a side without
// a value says "none proven" and why.
void writeSharpestSummary(std::ostream& out, const MethodResult& sharpest);

}  // namespace unionbound
