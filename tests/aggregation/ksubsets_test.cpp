#include "aggregation/ksubsets.hpp"

#include <gtest/gtest.h>

#include <random>

#include "support/capture.hpp"

namespace unionbound {
namespace {

// The recursive definition, word for word: subsets with S[0] (put in front of
// the (k-1)-subsets of the tail) before those without it.
IntMatrix recursiveSubsets(const IntVector& S, std::int32_t k) {
    if (k == 0)
        return {IntVector{}};
    if (k == 1) {
        IntMatrix rows;
        for (std::int32_t x : S)
            rows.push_back({x});
        return rows;
    }
    if (static_cast<std::size_t>(k) == S.size())
        return {S};
    if (static_cast<std::size_t>(k) > S.size())
        return {};
    const IntVector tail(S.begin() + 1, S.end());
    const IntMatrix without = recursiveSubsets(tail, k);
    IntMatrix rows;
    for (IntVector row : recursiveSubsets(tail, k - 1)) {
        row.insert(row.begin(), S[0]);
        rows.push_back(row);
    }
    rows.insert(rows.end(), without.begin(), without.end());
    return rows;
}

TEST(KSubsets, ListsSubsetsInLexicographicOrderOfPositions) {
    EXPECT_EQ(KSubsets({1, 2, 3, 4}, 2),
              (IntMatrix{{1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}}));
    EXPECT_EQ(KSubsets({1, 2, 3, 4, 5}, 3), (IntMatrix{{1, 2, 3},
                                                       {1, 2, 4},
                                                       {1, 2, 5},
                                                       {1, 3, 4},
                                                       {1, 3, 5},
                                                       {1, 4, 5},
                                                       {2, 3, 4},
                                                       {2, 3, 5},
                                                       {2, 4, 5},
                                                       {3, 4, 5}}));
}

TEST(KSubsets, FollowsPositionsNotValues) {
    EXPECT_EQ(KSubsets({3, 1, 2}, 2), (IntMatrix{{3, 1}, {3, 2}, {1, 2}}));
    EXPECT_EQ(KSubsets({5, 5, 4}, 2), (IntMatrix{{5, 5}, {5, 4}, {5, 4}}));
}

TEST(KSubsets, HandlesTheBorderSizes) {
    EXPECT_EQ(KSubsets({1, 2, 3}, 0), (IntMatrix{{}}));
    EXPECT_EQ(KSubsets({}, 0), (IntMatrix{{}}));
    EXPECT_EQ(KSubsets({1, 2, 3}, 3), (IntMatrix{{1, 2, 3}}));
    EXPECT_EQ(KSubsets({7}, 1), (IntMatrix{{7}}));
    EXPECT_TRUE(KSubsets({1, 2}, 3).empty());
    EXPECT_TRUE(KSubsets({}, 1).empty());
}

TEST(KSubsets, RefusesANegativeSizeWithoutLineBreak) {
    const auto [rows, out] = testing::captured([] { return KSubsets({1, 2}, -1); });
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(out, "in KSubsets, k<0");
}

TEST(KSubsets, AgreesWithTheRecursiveDefinitionOnRandomSequences) {
    std::mt19937_64 random(3);
    for (int trial = 0; trial < 200; ++trial) {
        IntVector S(random() % 9);
        for (std::int32_t& x : S)
            x = static_cast<std::int32_t>(random() % 7) - 2;
        const auto k = static_cast<std::int32_t>(random() % (S.size() + 2));
        ASSERT_EQ(KSubsets(S, k), recursiveSubsets(S, k)) << "trial " << trial;
    }
}

}  // namespace
}  // namespace unionbound
