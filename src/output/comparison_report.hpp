// The lines written by --compare: every other bound that the same
// probabilities give, upper and lower, beside the aggregation bound of the
// run, and how far each is from the sharpest bounds when those are known.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "classical/classical_bounds.hpp"

namespace unionbound {

// One bound of the comparison: its name, how it is formed, and its value
// (not-a-number for a bound these data cannot give; it is left out).
struct ComparedBound {
    std::string name;
    std::string formula;
    double value;
};

// The bound of the structured passes and its subsequence length.
struct AggregationBound {
    double value;
    std::int32_t l;
};

struct Comparison {
    std::optional<AggregationBound> aggregation;  // none when the passes could not run
    std::vector<ComparedBound> upper;             // in the order shown
    std::vector<ComparedBound> lower;
    std::optional<double> sharpestUpper;  // the best possible bounds, when proven
    std::optional<double> sharpestLower;
};

// The classical bounds of order m as entries: Boole, Bonferroni, Hunter and
// the sharp upper bound; Dawson and Sankoff's and the sharp lower bound.
Comparison classicalComparison(std::int32_t m, const ClassicalBounds& bounds);

// For each side a heading, one line per bound with its value (and the
// aggregation bound beside the upper ones), and the line naming the
// smallest upper (largest lower) bound with every bound that shares it.
// With the sharpest bounds, each line also says how far its bound is from
// the sharpest one of its side. Values in general notation with 15
// significant digits, as the summary.
void writeComparison(std::ostream& out, const Comparison& comparison);

}  // namespace unionbound
