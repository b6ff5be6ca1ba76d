#include "moments/moment_index.hpp"

#include <gtest/gtest.h>

namespace unionbound {
namespace {

TEST(MomentIndexList, ListsConstantThenUnivariateThenBivariateEntries) {
    const IntMatrixList expected = {
        {{0}, {0}},       {{1}, {1}},       {{1}, {2}},       {{1}, {3}},
        {{2}, {1}},       {{2}, {2}},       {{2}, {3}},       {{3}, {1}},
        {{3}, {2}},       {{3}, {3}},       {{1, 2}, {1, 1}}, {{1, 2}, {2, 1}},
        {{1, 2}, {1, 2}}, {{1, 3}, {1, 1}}, {{1, 3}, {2, 1}}, {{1, 3}, {1, 2}},
    };
    EXPECT_EQ(momentIndexList(3, {{1, 2}, {1, 3}}, {3, 3, 3}), expected);
}

TEST(MomentIndexList, RunsTheSecondOrderInTheOuterLoop) {
    const IntMatrixList list = momentIndexList(5, {{1, 2}}, {5, 5});
    IntMatrix orders;
    for (std::size_t i = 11; i < list.size(); ++i) {
        orders.push_back(list[i][1]);
    }
    EXPECT_EQ(orders,
              (IntMatrix{
                  {1, 1}, {2, 1}, {3, 1}, {4, 1}, {1, 2}, {2, 2}, {3, 2}, {1, 3}, {2, 3}, {1, 4}}));
}

TEST(MomentIndexList, HasOneEntryPerMomentOfThePass) {
    for (std::int32_t m = 1; m <= 9; m += 2) {
        for (std::int32_t q = 2; q <= 12; ++q) {
            IntMatrix pairs;
            for (std::int32_t c = 2; c <= q; ++c) {
                pairs.push_back({1, c});
            }
            const std::size_t expected = 1 + q * m + (q - 1) * m * (m - 1) / 2;
            EXPECT_EQ(momentIndexList(m, pairs, IntVector(q, m)).size(), expected);
            EXPECT_EQ(mixedOrdersPerPair(m), m * (m - 1) / 2);
        }
    }
}

TEST(MixedOrdersPerPair, IsMChooseTwo) {
    // The bivariate orders (d, e) with d, e ≥ 1 and d + e ≤ m, counted one by one.
    for (std::int32_t m : {1, 2, 3, 5, 11}) {
        std::int32_t counted = 0;
        for (std::int32_t e = 1; e < m; ++e) {
            for (std::int32_t d = 1; d + e <= m; ++d) {
                ++counted;
            }
        }
        EXPECT_EQ(mixedOrdersPerPair(m), counted) << "m=" << m;
    }
    const std::int32_t expected[][2] = {{3, 3}, {5, 10}, {1, 0}, {2, 1}};
    for (const auto& [m, size] : expected) {
        EXPECT_EQ(mixedOrdersPerPair(m), size) << "m=" << m;
    }
}

TEST(MomentIndexList, OffsetsOfMixedOrdersFollowTheListOrder) {
    const std::int32_t m = 5;
    const IntMatrixList list = momentIndexList(m, {{1, 2}}, {m, m});
    const std::size_t first = 1 + 2 * m;
    for (std::size_t i = first; i < list.size(); ++i) {
        EXPECT_EQ(mixedOrderOffset(m, list[i][1][0], list[i][1][1]),
                  static_cast<std::int32_t>(i - first));
    }
}

}  // namespace
}  // namespace unionbound
