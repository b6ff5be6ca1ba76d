#include "moments/moment_index.hpp"

namespace unionbound {

IntMatrixList momentIndexList(std::int32_t m, const IntMatrix& pairs, const IntVector& orders) {
    IntMatrixList list;
    list.push_back({{0}, {0}});
    for (std::size_t c = 1; c <= orders.size(); ++c) {
        for (std::int32_t k = 1; k <= orders[c - 1]; ++k) {
            list.push_back({{static_cast<std::int32_t>(c)}, {k}});
        }
    }
    for (const IntVector& pair : pairs) {
        for (std::int32_t e = 1; e <= m - 1; ++e) {
            for (std::int32_t d = 1; d <= m - e; ++d) {
                list.push_back({{pair[0], pair[1]}, {d, e}});
            }
        }
    }
    return list;
}

std::int32_t mixedOrdersPerPair(std::int32_t m) {
    return m < 2 ? 0 : m * (m - 1) / 2;
}

std::int32_t mixedOrderOffset(std::int32_t m, std::int32_t d, std::int32_t e) {
    // Orders e' = 1 … e-1 come first, each with m - e' orders d.
    std::int32_t offset = 0;
    for (std::int32_t before = 1; before < e; ++before) {
        offset += m - before;
    }
    return offset + d - 1;
}

}  // namespace unionbound
