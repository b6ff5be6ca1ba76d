#include "numeric/vector_ops.hpp"

#include <string>

#include "numeric/diagnostics.hpp"

namespace unionbound {

namespace {

void sayNoBreak(const char* message) {
    diagnose(message);
}

void sayLine(const char* message) {
    diagnose(std::string(message) + "\n");
}

// IntPower's checks and product for one base; shared by IntPowerEach so the
// messages come once per element.
double powerOf(double x, std::int32_t k) {
    if (k < 0) {
        sayLine("negative exponent does not yield integer");
        return x;
    }
    if (k == 0 && x == 0.0) {
        sayLine("zero^zero is not defined");
        return x;
    }
    double result = 1.0;
    for (std::int32_t i = 0; i < k; ++i) {
        result = result * x;
    }
    return result;
}

}  // namespace

double ScalarProduct(const RealVector& a, const RealVector& b) {
    if (a.size() != b.size()) {
        sayNoBreak("Scalar product: wrong sizes!");
        return 0.0;
    }
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sum = a[i] * b[i] + sum;
    }
    return sum;
}

std::int32_t IntScalarProduct(const IntVector& a, const IntVector& b) {
    if (a.size() != b.size()) {
        sayNoBreak("Scalar product: wrong sizes!");
        return 0;
    }
    // Accumulate in unsigned arithmetic so that an overflow wraps as two's
    // complement instead of being undefined.
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sum += static_cast<std::uint32_t>(a[i]) * static_cast<std::uint32_t>(b[i]);
    }
    return static_cast<std::int32_t>(sum);
}

RealVector CoordProduct(const RealVector& a, const RealVector& b) {
    if (a.size() != b.size()) {
        sayNoBreak("Coord product: wrong sizes!");
        return {};
    }
    RealVector result;
    result.reserve(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        result.push_back(a[i] * b[i]);
    }
    return result;
}

RealVector vectsum(const RealVector& a, const RealVector& b) {
    if (a.size() != b.size()) {
        sayNoBreak("wrong sizes of the vectors in vectsum");
        return {};
    }
    RealVector result;
    result.reserve(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        result.push_back(a[i] + b[i]);
    }
    return result;
}

RealVector ScaleVector(double c, const RealVector& v) {
    RealVector result;
    result.reserve(v.size());
    for (double x : v) {
        result.push_back(c * x);
    }
    return result;
}

RealVector DivideVector(double d, const RealVector& v) {
    RealVector result;
    result.reserve(v.size());
    for (double x : v) {
        result.push_back(x / d);
    }
    return result;
}

double IntPower(double x, std::int32_t k) {
    return powerOf(x, k);
}

RealVector IntPowerEach(const RealVector& v, std::int32_t k) {
    RealVector result;
    result.reserve(v.size());
    for (double x : v) {
        result.push_back(powerOf(x, k));
    }
    return result;
}

RealVector MatVecProduct(const RealMatrix& A, const RealVector& v) {
    RealVector result;
    result.reserve(A.size());
    for (const RealVector& row : A) {
        result.push_back(ScalarProduct(row, v));
    }
    return result;
}

bool IntMatrixEqual(const IntMatrix& A, const IntMatrix& B) {
    return A == B;
}

}  // namespace unionbound
