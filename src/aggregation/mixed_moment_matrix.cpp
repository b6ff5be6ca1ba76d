#include "aggregation/mixed_moment_matrix.hpp"

#include "moments/moment_index.hpp"
#include "numeric/vector_ops.hpp"

namespace unionbound {

RealMatrix buildMixedMomentMatrix(const RealMatrix& columns, const IntMatrixList& momentIndex,
                                  const IntVector& orders, std::int32_t m) {
    const std::size_t firstMixed =
        static_cast<std::size_t>(IntScalarProduct(orders, IntVector(orders.size(), 1))) + 1;
    const std::size_t entries = momentIndex.size();
    const std::size_t mixedCount = entries - firstMixed;

    RealMatrix result;
    result.push_back(RealVector(mixedCount, 1.0));

    for (std::size_t j = 0; j + 1 <= orders.size(); ++j) {
        const auto coordinate = static_cast<std::int32_t>(j + 1);
        RealVector W;
        W.reserve(mixedCount);
        for (std::size_t i = firstMixed; i < entries; ++i) {
            const IntMatrix& entry = momentIndex[i];
            if (entry[0][0] == coordinate) {
                W.push_back(columns[j][entry[1][0]]);
            } else if (entry[0][1] == coordinate) {
                W.push_back(columns[j][entry[1][1]]);
            } else {
                W.push_back(0.0);
            }
        }
        for (std::int32_t e = 1; e <= orders[j]; ++e) {
            result.push_back(IntPowerEach(W, e));
        }
    }

    const std::size_t groupSize = static_cast<std::size_t>(mixedOrdersPerPair(m));
    for (std::size_t start = firstMixed; start < entries && groupSize > 0; start += groupSize) {
        RealVector U(mixedCount, 0.0);
        RealVector V = U;
        const std::int32_t j1 = momentIndex[start][0][0];
        const std::int32_t j2 = momentIndex[start][0][1];
        for (std::size_t c = start; c < start + groupSize; ++c) {
            U[c - firstMixed] = columns[j1 - 1][momentIndex[c][1][0]];
            V[c - firstMixed] = columns[j2 - 1][momentIndex[c][1][1]];
        }
        for (std::size_t c = start; c < start + groupSize; ++c) {
            result.push_back(CoordProduct(IntPowerEach(U, momentIndex[c][1][0]),
                                          IntPowerEach(V, momentIndex[c][1][1])));
        }
    }
    return result;
}

}  // namespace unionbound
