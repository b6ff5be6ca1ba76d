// Helpers of the differential tests: random values that include the awkward
// ones (zeros of both signs, tiny and large magnitudes), comparison bit for
// bit, and capture of what a call writes to standard output.
#pragma once

#include <bit>
#include <cstdint>
#include <iostream>
#include <random>
#include <sstream>
#include <string>

#include "numeric/types.hpp"

namespace unionbound::testing {

inline bool sameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

inline bool sameBits(const RealVector& a, const RealVector& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!sameBits(a[i], b[i])) {
            return false;
        }
    }
    return true;
}

// A probability-like value: mostly in [0, 1], sometimes exactly 0.0, -0.0,
// 1.0, a subnormal or a slightly negative value.
inline double awkwardProbability(std::mt19937_64& random) {
    std::uniform_int_distribution<int> kind(0, 19);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    switch (kind(random)) {
        case 0:
            return 0.0;
        case 1:
            return -0.0;
        case 2:
            return 1.0;
        case 3:
            return 4.9e-324;
        case 4:
            return -1e-10;
        case 5:
            return unit(random) * 1e-17;
        default:
            return unit(random);
    }
}

// Collects what the calls in its lifetime write to standard output.
class CaptureOutput {
  public:
    CaptureOutput() : saved_(std::cout.rdbuf(text_.rdbuf())) {}
    ~CaptureOutput() { std::cout.rdbuf(saved_); }
    CaptureOutput(const CaptureOutput&) = delete;
    CaptureOutput& operator=(const CaptureOutput&) = delete;
    std::string text() const { return text_.str(); }

  private:
    std::ostringstream text_;
    std::streambuf* saved_;
};

}  // namespace unionbound::testing
