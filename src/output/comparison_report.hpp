// The lines written by --compare: the classical upper bounds beside the
// aggregation bound of the run.
#pragma once

#include <cstdint>
#include <ostream>

#include "classical/classical_bounds.hpp"

namespace unionbound {

// A heading, one line per classical bound with its value and the
// aggregation bound beside it, and the line naming the smallest upper bound
// with the names of all bounds that share it.
// Values in general notation with 15 significant digits, as the summary.
void writeComparison(std::ostream& out, double aggregationBound, std::int32_t bestL, std::int32_t m,
                     const ClassicalBounds& bounds);

}  // namespace unionbound
