// Proven bounds of exact results, computed in the default rounding to
// nearest: the exact sum or product of two doubles lies between the two
// bounds these functions give. Each operation is done once, its rounding
// error found with an error-free transformation, and the result moved one
// double down (or up) only when the error says the exact value lies beyond
// it. Where the transformation itself would not be exact (an overflow, or a
// product near the bottom of the exponent range), the result is moved one
// double outward regardless: a result rounded to nearest lies within half a
// spacing of its neighbours, so the next double is always on the far side of
// the exact value. No rounding mode is changed, so these bounds are immune
// to what the compiler assumes about it.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "numeric/double_double.hpp"

namespace unionbound {

// The next double below x (-infinity stays; a not-a-number stays).
inline double nextDown(double x) {
    return std::nextafter(x, -std::numeric_limits<double>::infinity());
}
// The next double above x.
inline double nextUp(double x) {
    return std::nextafter(x, std::numeric_limits<double>::infinity());
}

// A double ≤ a + b (exact), the largest such where the sum is finite.
inline double addDown(double a, double b) {
    const DoubleDouble s = twoSum(a, b);
    if (!std::isfinite(s.hi)) {
        return std::isfinite(a) && std::isfinite(b) ? nextDown(s.hi) : s.hi;
    }
    return s.lo < 0.0 ? nextDown(s.hi) : s.hi;
}
// A double ≥ a + b (exact), the smallest such where the sum is finite.
inline double addUp(double a, double b) {
    return -addDown(-a, -b);
}

// A double ≤ a·b (exact).
inline double mulDown(double a, double b) {
    const double p = a * b;
    if (a == 0.0 || b == 0.0) {
        return p;  // exactly zero
    }
    // Dekker's product is exact while nothing overflows or underflows.
    const double size = std::fabs(p);
    if (size < 0x1p-960 || size > 0x1p995 || !std::isfinite(p)) {
        return std::isfinite(a) && std::isfinite(b) ? nextDown(p) : p;
    }
    return twoProduct(a, b).lo < 0.0 ? nextDown(p) : p;
}
// A double ≥ a·b (exact).
inline double mulUp(double a, double b) {
    return -mulDown(-a, b);
}

}  // namespace unionbound
