#include "moments/subsets.hpp"

#include <gtest/gtest.h>

namespace unionbound {
namespace {

TEST(SubsetPosition, InvertsTheSubsetOrderForEveryPosition) {
    for (const auto& [n, m] : {std::pair{4, 2}, std::pair{7, 3}, std::pair{9, 5}, std::pair{3, 5}}) {
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
