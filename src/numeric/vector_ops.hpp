// The small numeric library: inner and element-wise products, sums,
// scalings, integer powers and the matrix-vector product.
//
// Error convention: an argument error sends a fixed message to the calling
// thread's diagnostic sink (numeric/diagnostics.hpp) and the operation
// returns a neutral result (0.0, 0, an empty vector or the base of a power),
// after which the computation carries on. The size messages have no line
// break; the power messages end with one. No operation changes its
// arguments.
#pragma once

#include <cstdint>

#include "numeric/types.hpp"

namespace unionbound {

// Σ a[i]·b[i], summed in increasing i as a[i]·b[i] + sum from 0.0.
// Different lengths: "Scalar product: wrong sizes!" and 0.0.
double ScalarProduct(const RealVector& a, const RealVector& b);

// The same in signed 32-bit integers (wrapping), starting from 0.
// Different lengths: "Scalar product: wrong sizes!" and 0.
std::int32_t IntScalarProduct(const IntVector& a, const IntVector& b);

// (a[i]·b[i]). Different lengths: "Coord product: wrong sizes!" and empty.
RealVector CoordProduct(const RealVector& a, const RealVector& b);

// (a[i] + b[i]). Different lengths: "wrong sizes of the vectors in vectsum"
// and empty.
RealVector vectsum(const RealVector& a, const RealVector& b);

// (c·v[i]).
RealVector ScaleVector(double c, const RealVector& v);

// (v[i] / d): the divisor comes first. A zero divisor gives IEEE results.
RealVector DivideVector(double d, const RealVector& v);

// x^k as 1.0 multiplied k times by x. k < 0: "negative exponent does not
// yield integer" and x; k = 0 with x = 0.0: "zero^zero is not defined" and x.
double IntPower(double x, std::int32_t k);

// IntPower applied to every entry, its checks (and messages) once per entry.
RealVector IntPowerEach(const RealVector& v, std::int32_t k);

// (ScalarProduct(A[r], v)) for every row r; a row of the wrong length sends
// the scalar-product message and contributes 0.0.
RealVector MatVecProduct(const RealMatrix& A, const RealVector& v);

// True when A and B have the same rows, in the same order, entry by entry.
bool IntMatrixEqual(const IntMatrix& A, const IntMatrix& B);

}  // namespace unionbound
