#include "aggregation/ksubsets.hpp"

#include <utility>

#include "numeric/diagnostics.hpp"

namespace unionbound {

IntMatrix KSubsets(const IntVector& S, std::int32_t k) {
    if (k < 0) {
        diagnose("in KSubsets, k<0");
        return {};
    }
    const std::size_t size = S.size();
    const std::size_t count = static_cast<std::size_t>(k);
    IntMatrix rows;
    if (count > size) {
        return rows;
    }
    // Walk the position sets in lexicographic order: the order in which
    // "subsets with the first element, then those without" lists them.
    std::vector<std::size_t> positions(count);
    for (std::size_t t = 0; t < count; ++t) {
        positions[t] = t;
    }
    for (;;) {
        IntVector row;
        row.reserve(count);
        for (std::size_t position : positions) {
            row.push_back(S[position]);
        }
        rows.push_back(std::move(row));
        std::size_t t = count;
        while (t > 0 && positions[t - 1] == size - count + (t - 1)) {
            --t;
        }
        if (t == 0) {
            return rows;
        }
        ++positions[t - 1];
        for (std::size_t u = t; u < count; ++u) {
            positions[u] = positions[u - 1] + 1;
        }
    }
}

}  // namespace unionbound
