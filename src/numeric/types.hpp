// The value types shared by every stage of the bounding pipeline.
#pragma once

#include <cstdint>
#include <vector>

namespace unionbound {

// A sequence of double-precision reals, positions numbered from 0.
using RealVector = std::vector<double>;
// A sequence of signed 32-bit integers.
using IntVector = std::vector<std::int32_t>;
// A sequence of rows; rows may differ in length.
using RealMatrix = std::vector<RealVector>;
using IntMatrix = std::vector<IntVector>;
// A sequence of integer matrices: the moment index list and the candidate
// builder's subscript tables.
using IntMatrixList = std::vector<IntMatrix>;

// The start value of every maximum search: a record is replaced only by a
// strictly greater value, so the first of equal values wins and a
// not-a-number never wins.
inline constexpr double kSearchStart = -1.7e308;

}  // namespace unionbound
