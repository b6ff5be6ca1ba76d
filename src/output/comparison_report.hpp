// The lines written by --compare: every other bound that the same
// probabilities give, upper and lower, beside the aggregation bound of the
// run, and how far each is from the sharpest bounds when those are known.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "unionbound/result.hpp"

namespace unionbound {

// The bound of the structured passes and its subsequence length.
struct AggregationBound {
    double value;
    std::int32_t l;
};

// The bounds of the comparison, by name and formula; a bound without a
// value (one these data cannot give) is left out.
struct Comparison {
    std::optional<AggregationBound> aggregation;  // none when the passes could not run
    std::vector<NamedBound> upper;                // in the order shown
    std::vector<NamedBound> lower;
    // The best possible bounds, when proven and not stopped early: the other
    // rows say how far they lie from them.
    std::optional<double> sharpestUpper;
    std::optional<double> sharpestLower;
    // What the rows of the sharpest bounds say of them, where their method
    // knows how far they may lie from the sharpest values or stopped early
    // (sharpestNote: "at most 2e-12 from the sharpest"); empty otherwise.
    std::string sharpestUpperNote;
    std::string sharpestLowerNote;
    // The smallest upper and the largest lower bound of the run, which pass
    // over a bound that a more certain one contradicts (Result::best), and
    // its notes; without them each side shows its extreme value.
    std::optional<double> bestUpper;
    std::optional<double> bestLower;
    std::vector<std::string> notes;
};

// The comparison of a run's result: the sharpest bounds first, then the
// classical ones, then the best exact bounds, with the aggregation bound
// beside the upper ones.
Comparison comparisonOf(const Result& result);

// For each side a heading, one line per bound with its value (and the
// aggregation bound beside the upper ones), and the line naming the
// smallest upper (largest lower) bound with every bound that shares it.
// With the sharpest bounds, each line also says how far its bound is from
// the sharpest one of its side, and their own lines their note. Values in general notation with 15
// significant digits, as the summary. Then a line "Note: …" for each note.
void writeComparison(std::ostream& out, const Comparison& comparison);

}  // namespace unionbound
