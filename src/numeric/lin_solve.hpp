// Gauss-Jordan solver for the square systems of the inner solvers.
#pragma once

#include "numeric/types.hpp"

namespace unionbound {

// Solves A·x = b for the n×n leading block of A, n being the number of rows.
//
// The pivot of step j is the first row at or below j whose entry in column j
// is not exactly 0.0 (no tolerance, no comparison of magnitudes). When there
// is none, "(LinSolve) The matrix A is singular." and a line break go to
// the diagnostic sink, and the last row gets the entry 1.0 in column j and
// serves as pivot.
// Every other row, above and below, is then reduced by f times the
// normalised pivot row, f being its entry in column j:
//   b[k] = b[k] - b[j]·f,   A[k][t] = A[k][t] + (-f)·A[j][t].
//
// When row 0 or b does not have n entries, "Size problem in the input of
// LinSolve." and a line break go to the sink. Rows of equal length above n
// are solved on their first n columns; entries of b beyond n come back unchanged.
// When the system cannot be read (no rows, rows of unequal length, a row or b
// shorter than n) b is returned unchanged after the message.
RealVector LinSolve(const RealMatrix& A, const RealVector& b);

}  // namespace unionbound
