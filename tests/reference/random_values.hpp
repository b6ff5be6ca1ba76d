// Helpers of the differential tests: random values that include the awkward
// ones (zeros of both signs, tiny and large magnitudes) and comparison bit
// for bit.
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

// Values that make blocks singular, give zeros of both signs and, rarely,
// overflow.
inline double awkwardValue(std::mt19937_64& random) {
    std::uniform_int_distribution<int> kind(0, 15);
    switch (kind(random)) {
        case 0:
        case 1:
            return 0.0;
        case 2:
            return -0.0;
        case 3:
            return 1.0;
        case 4:
            return -1.0;
        case 5:
            return 2.0;
        case 6:
            return 1e200;
        case 7:
            return -3.0;
        default:
            return std::uniform_real_distribution<double>(-4.0, 4.0)(random);
    }
}

}  // namespace unionbound::testing
