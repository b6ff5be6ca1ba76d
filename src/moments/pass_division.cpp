#include "moments/pass_division.hpp"

namespace unionbound {

std::int32_t subsequenceCount(std::int32_t n, std::int32_t l) {
    return n / l;
}

IntVector subsequenceLengths(std::int32_t n, std::int32_t l) {
    const std::int32_t q = subsequenceCount(n, l);
    IntVector lengths(static_cast<std::size_t>(q), l);
    lengths.back() = n - (q - 1) * l;
    return lengths;
}

PassDivision passDivision(std::int32_t n, std::int32_t l, std::int32_t m) {
    const std::int32_t q = subsequenceCount(n, l);
    PassDivision division{l, {}, IntVector(static_cast<std::size_t>(q), m)};
    for (std::int32_t c = 2; c <= q; ++c) {
        division.pairs.push_back({1, c});
    }
    return division;
}

std::vector<PassDivision> passDivisions(std::int32_t n, std::int32_t m) {
    std::vector<PassDivision> divisions;
    for (std::int32_t l = m; l <= n / 2; ++l) {
        divisions.push_back(passDivision(n, l, m));
    }
    return divisions;
}

}  // namespace unionbound
