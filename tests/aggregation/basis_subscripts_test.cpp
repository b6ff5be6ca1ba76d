#include "aggregation/basis_subscripts.hpp"

#include <gtest/gtest.h>

namespace unionbound {
namespace {

TEST(BasisSubscripts, ExtendEachSubsequenceByItsChosenColumn) {
    const IntMatrix rows =
        basisSubscripts(3, {{1, 2}}, {3, 3}, {{5, 6, 7}, {8, 9, 10}}, {{4}, {2}}, 0);
    EXPECT_EQ(
        rows,
        (IntMatrix{
            {5, 8}, {6, 8}, {7, 8}, {2, 8}, {5, 9}, {5, 10}, {5, 0}, {6, 9}, {6, 10}, {7, 9}}));
}

TEST(BasisSubscripts, RunTheFirstPairMemberInTheOuterLoop) {
    // Distinct subscripts show which (u, v) made each pair row.
    const IntMatrix rows =
        basisSubscripts(3, {{1, 2}}, {3, 3}, {{10, 11, 12}, {20, 21, 22}}, {{3}, {3}}, 2);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(IntMatrix(rows.begin() + 7, rows.end()), (IntMatrix{{11, 21}, {11, 22}, {12, 21}}));
}

TEST(BasisSubscripts, CountOneRowPerMoment) {
    for (std::int32_t m : {3, 5}) {
        const std::int32_t q = 4;
        IntMatrix pairs, Vks, Kjs;
        for (std::int32_t c = 2; c <= q; ++c)
            pairs.push_back({1, c});
        for (std::int32_t c = 0; c < q; ++c) {
            Vks.push_back(IntVector(m, c));
            Kjs.push_back({m});
        }
        const IntMatrix rows = basisSubscripts(m, pairs, IntVector(q, m), Vks, Kjs, 0);
        EXPECT_EQ(rows.size(), static_cast<std::size_t>(1 + q * m + (q - 1) * m * (m - 1) / 2));
    }
}

TEST(BasisSubscripts, ForOrderOneHaveNoPairRows) {
    const IntMatrix rows = basisSubscripts(1, {{1, 2}}, {1, 1}, {{0}, {4}}, {{1}, {5}}, -1);
    // Appended: 1 - 1 - 1 + 1 = 0 and 5 - 1 - 1 + 1 = 4.
    EXPECT_EQ(rows, (IntMatrix{{0, 4}, {0, 4}, {0, 4}}));
}

TEST(BasisSubscripts, GiveNoRowsForTablesThatDoNotFit) {
    EXPECT_TRUE(basisSubscripts(3, {{1, 2}}, {3, 3}, {}, {}, -1).empty());
    EXPECT_TRUE(
        basisSubscripts(3, {{1, 3}}, {3, 3}, {{0, 1, 2}, {0, 1, 2}}, {{3}, {3}}, 0).empty());
    EXPECT_TRUE(basisSubscripts(3, {{1, 2}}, {3, 3}, {{0, 1, 2}, {0, 1, 2}}, {{3}, {}}, 0).empty());
}

}  // namespace
}  // namespace unionbound
