// Double-double numbers: an unevaluated sum hi + lo of two doubles, about 106
// significant bits. Used where sums of many probabilities, or polynomial
// coefficients that cancel, must keep more digits than one double holds.
// Every operation is built from exact error-free transformations, so the
// results depend only on the order of operations (no fused multiply-add may
// be contracted in; the project builds with -ffp-contract=off).
#pragma once

namespace unionbound {

struct DoubleDouble {
    double hi = 0.0;
    double lo = 0.0;

    DoubleDouble() = default;
    // NOLINTNEXTLINE(google-explicit-constructor): a double is a double-double.
    DoubleDouble(double value) : hi(value), lo(0.0) {}
    DoubleDouble(double high, double low) : hi(high), lo(low) {}

    double toDouble() const { return hi + lo; }
};

// a + b exactly, as the rounded sum and its rounding error.
inline DoubleDouble twoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    const double err = (a - (s - bb)) + (b - bb);
    return {s, err};
}

// a * b exactly, as the rounded product and its rounding error (Dekker's
// splitting into 26-bit halves, valid while the product does not overflow).
inline DoubleDouble twoProduct(double a, double b) {
    constexpr double kSplitter = 134217729.0;  // 2^27 + 1
    const double p = a * b;
    const double ta = kSplitter * a;
    const double ahi = ta - (ta - a);
    const double alo = a - ahi;
    const double tb = kSplitter * b;
    const double bhi = tb - (tb - b);
    const double blo = b - bhi;
    const double err = ((ahi * bhi - p) + ahi * blo + alo * bhi) + alo * blo;
    return {p, err};
}

inline DoubleDouble operator+(DoubleDouble a, DoubleDouble b) {
    DoubleDouble s = twoSum(a.hi, b.hi);
    const DoubleDouble t = twoSum(a.lo, b.lo);
    s.lo += t.hi;
    s = twoSum(s.hi, s.lo);
    s.lo += t.lo;
    return twoSum(s.hi, s.lo);
}

inline DoubleDouble operator-(DoubleDouble a) {
    return {-a.hi, -a.lo};
}

inline DoubleDouble operator-(DoubleDouble a, DoubleDouble b) {
    return a + (-b);
}

inline DoubleDouble operator*(DoubleDouble a, DoubleDouble b) {
    DoubleDouble p = twoProduct(a.hi, b.hi);
    p.lo += a.hi * b.lo + a.lo * b.hi;
    return twoSum(p.hi, p.lo);
}

// a / b with one correction step of the quotient.
inline DoubleDouble operator/(DoubleDouble a, DoubleDouble b) {
    const double q1 = a.hi / b.hi;
    const DoubleDouble r1 = a - b * DoubleDouble(q1);
    const double q2 = r1.hi / b.hi;
    const DoubleDouble r2 = r1 - b * DoubleDouble(q2);
    const double q3 = r2.hi / b.hi;
    return DoubleDouble(twoSum(q1, q2)) + DoubleDouble(q3);
}

inline DoubleDouble& operator+=(DoubleDouble& a, DoubleDouble b) {
    return a = a + b;
}
inline DoubleDouble& operator-=(DoubleDouble& a, DoubleDouble b) {
    return a = a - b;
}

inline bool operator<(DoubleDouble a, DoubleDouble b) {
    return a.hi < b.hi || (a.hi == b.hi && a.lo < b.lo);
}

}  // namespace unionbound
