#include "aggregation/basis_subscripts.hpp"

#include <algorithm>

namespace unionbound {

namespace {

bool tablesFit(std::int32_t m, const IntMatrix& pairs, const IntVector& orders,
               const IntMatrix& Vks, const IntMatrix& Kjs) {
    const std::size_t R = Vks.size();
    if (R == 0 || orders.size() < R || Kjs.size() < R) {
        return false;
    }
    for (std::size_t i = 0; i < R; ++i) {
        const std::int64_t appended = std::max<std::int64_t>(0, std::int64_t{orders[i]} - m + 1);
        const std::int64_t length = static_cast<std::int64_t>(Vks[i].size()) + appended;
        // Entries read: 0 (base row), 1 … orders[i] (single changes) and
        // 1 … m-1 (pair changes).
        const std::int64_t largestRead = std::max<std::int64_t>({0, orders[i], m - 1});
        if (static_cast<std::int64_t>(Kjs[i].size()) < appended || length <= largestRead) {
            return false;
        }
    }
    for (const IntVector& pair : pairs) {
        if (pair.size() < 2 || pair[0] < 1 || pair[1] < 1 ||
            static_cast<std::size_t>(pair[0]) > R || static_cast<std::size_t>(pair[1]) > R) {
            return false;
        }
    }
    return true;
}

}  // namespace

IntMatrix basisSubscripts(std::int32_t m, const IntMatrix& pairs, const IntVector& orders,
                          const IntMatrix& Vks, const IntMatrix& Kjs, std::int32_t jbest) {
    if (!tablesFit(m, pairs, orders, Vks, Kjs)) {
        return {};
    }
    const std::size_t R = Vks.size();
    IntMatrix extended = Vks;
    for (std::size_t i = 0; i < R; ++i) {
        for (std::int32_t j = m; j <= orders[i]; ++j) {
            extended[i].push_back(Kjs[i][j - m] - m + jbest + 1);
        }
    }

    IntMatrix basis;
    IntVector base;
    for (std::size_t i = 0; i < R; ++i) {
        base.push_back(extended[i][0]);
    }
    basis.push_back(base);
    for (std::size_t i = 0; i < R; ++i) {
        for (std::int32_t k = 1; k <= orders[i]; ++k) {
            IntVector row = base;
            row[i] = extended[i][k];
            basis.push_back(std::move(row));
        }
    }
    for (const IntVector& pair : pairs) {
        const std::size_t a = pair[0] - 1, b = pair[1] - 1;
        for (std::int32_t u = 1; u <= m - 1; ++u) {
            for (std::int32_t v = 1; v <= m - u; ++v) {
                IntVector row = base;
                row[a] = extended[a][u];
                row[b] = extended[b][v];
                basis.push_back(std::move(row));
            }
        }
    }
    return basis;
}

}  // namespace unionbound
