#include "moments/subsets.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace unionbound {
namespace {

// The subset order by brute force: every bit mask, sorted by size and then
// lexicographically by the increasing element lists.
IntMatrix plainOrder(std::int32_t n, std::int32_t m) {
    IntMatrix rows;
    for (std::uint32_t mask = 1; mask < (1u << n); ++mask) {
        IntVector row;
        for (std::int32_t x = 1; x <= n; ++x) {
            if (mask & (1u << (x - 1))) {
                row.push_back(x);
            }
        }
        if (static_cast<std::int32_t>(row.size()) <= m) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end(), [](const IntVector& a, const IntVector& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return rows;
}

TEST(SubsetOrder, ListsSubsetsBySizeThenLexicographically) {
    EXPECT_EQ(allSubsets(4, 2),
              (IntMatrix{{1}, {2}, {3}, {4}, {1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}}));
    EXPECT_EQ(allSubsets(3, 5), (IntMatrix{{1}, {2}, {3}, {1, 2}, {1, 3}, {2, 3}, {1, 2, 3}}));
    EXPECT_TRUE(allSubsets(4, 0).empty());
    EXPECT_TRUE(allSubsets(0, 3).empty());
}

TEST(SubsetOrder, RunningEnumerationAndUnrankingAgreeWithPlainEnumeration) {
    for (std::int32_t n = 1; n <= 10; ++n) {
        for (std::int32_t m = 1; m <= n + 1; ++m) {
            const IntMatrix expected = plainOrder(n, m);
            ASSERT_EQ(allSubsets(n, m), expected) << "n=" << n << " m=" << m;
            ASSERT_EQ(static_cast<std::int64_t>(expected.size()), intersectionCount(n, m));
            for (std::size_t p = 0; p < expected.size(); ++p) {
                ASSERT_EQ(subsetAtPosition(n, m, static_cast<std::int64_t>(p)), expected[p])
                    << "n=" << n << " m=" << m << " p=" << p;
            }
            EXPECT_TRUE(subsetAtPosition(n, m, static_cast<std::int64_t>(expected.size())).empty());
        }
    }
}

TEST(SubsetCounts, FollowTheBinomialCoefficients) {
    EXPECT_EQ(intersectionCount(4, 2), 10);
    EXPECT_EQ(intersectionCount(4, 3), 14);
    EXPECT_EQ(intersectionCount(10, 3), 175);
    EXPECT_EQ(intersectionCount(3, 5), 7);
    EXPECT_EQ(intersectionCount(10, 0), 0);
    EXPECT_EQ(subsetCount(500, 3), 20708500);
    EXPECT_EQ(subsetCount(3, 4), 0);
    EXPECT_EQ(subsetCount(7, -1), 0);
}

TEST(SubsetCounts, SaturateInsteadOfOverflowing) {
    // C(2344,1) + C(2344,2) + C(2344,3) is just below 2^31; n = 2345 is above.
    EXPECT_EQ(intersectionCount(2344, 3), 2146455884);
    EXPECT_EQ(intersectionCount(2345, 3), kCountTooLarge);
    EXPECT_LT(intersectionCount(2000, 3), kCountTooLarge);
    EXPECT_EQ(intersectionCount(3000, 3), kCountTooLarge);
    EXPECT_EQ(subsetCount(2147483647, 5), kCountTooLarge);
    EXPECT_EQ(intersectionCount(1000000, 20), kCountTooLarge);
}

TEST(SubsetPosition, InvertsTheSubsetOrderForEveryPosition) {
    for (const auto& [n, m] :
         {std::pair{4, 2}, std::pair{7, 3}, std::pair{9, 5}, std::pair{3, 5}}) {
        std::int64_t position = 0;
        for (SubsetCursor cursor(n, m); cursor.valid(); cursor.next(), ++position) {
            EXPECT_EQ(subsetPosition(n, m, cursor.subset()), position) << "n=" << n << " m=" << m;
        }
        EXPECT_EQ(position, intersectionCount(n, m));
    }
}

TEST(SubsetPosition, FindsPairsWhereTheInputFileHoldsThem) {
    // n = 4: P(1) … P(4), then P(1∩2) at 4, P(1∩3) at 5, …, P(3∩4) at 9.
    EXPECT_EQ(subsetPosition(4, 2, {1, 2}), 4);
    EXPECT_EQ(subsetPosition(4, 2, {2, 3}), 7);
    EXPECT_EQ(subsetPosition(4, 2, {3, 4}), 9);
    EXPECT_EQ(subsetPosition(300, 3, {1, 2}), 300);
}

TEST(SubsetPosition, RefusesListsOutsideTheOrder) {
    EXPECT_EQ(subsetPosition(4, 2, {}), -1);
    EXPECT_EQ(subsetPosition(4, 2, {1, 2, 3}), -1);  // longer than m
    EXPECT_EQ(subsetPosition(4, 2, {2, 1}), -1);     // not increasing
    EXPECT_EQ(subsetPosition(4, 2, {2, 2}), -1);
    EXPECT_EQ(subsetPosition(4, 2, {0, 2}), -1);
    EXPECT_EQ(subsetPosition(4, 2, {3, 5}), -1);  // beyond n
}

}  // namespace
}  // namespace unionbound
