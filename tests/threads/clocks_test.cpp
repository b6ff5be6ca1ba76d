#include "threads/clocks.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace unionbound {
namespace {

TEST(WalkTime, IsSharedInWholeMillisecondsThatAddUpToTheTotal) {
    EXPECT_EQ(apportionMilliseconds(10, {1, 1, 2}), (std::vector<std::int64_t>{3, 2, 5}));
    EXPECT_EQ(apportionMilliseconds(7, {0, 5, 0}), (std::vector<std::int64_t>{0, 7, 0}));
    EXPECT_EQ(apportionMilliseconds(0, {3, 4}), (std::vector<std::int64_t>{0, 0}));
    EXPECT_EQ(apportionMilliseconds(5, {0, 0}), (std::vector<std::int64_t>{0, 0}));
    const std::vector<std::uint64_t> weights = {7, 11, 13, 17, 19};  // 67 in all
    const std::vector<std::int64_t> shares = apportionMilliseconds(1000, weights);
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < shares.size(); ++i) {
        sum += shares[i];
        // Within one millisecond of the exact share 1000·w/67.
        EXPECT_LE(std::abs(shares[i] * 67 - 1000 * static_cast<std::int64_t>(weights[i])), 67);
    }
    EXPECT_EQ(sum, 1000);
}

}  // namespace
}  // namespace unionbound
