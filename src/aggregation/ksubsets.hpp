// Subsets of a given size of a sequence, in a fixed order that becomes the
// trial order of the bound solver.
#pragma once

#include <cstdint>

#include "numeric/types.hpp"

namespace unionbound {

// All k-subsets of S, taken by position (elements need be neither distinct
// nor sorted), each row keeping the order of S. Every subset holding S[0]
// comes before every subset without it, and so on recursively, so for an
// increasing S the rows are the k-subsets in lexicographic order.
// k = 0 gives one empty row; k > |S| gives none; k < 0 sends
// "in KSubsets, k<0" (no line break) and gives none.
IntMatrix KSubsets(const IntVector& S, std::int32_t k);

}  // namespace unionbound
