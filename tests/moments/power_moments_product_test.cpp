// The power moments from the conversion blocks alone, compared bit for bit
// with the dense matrix product.
#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <tuple>

#include "moments/moment_index.hpp"
#include "moments/power_moments.hpp"
#include "numeric/vector_ops.hpp"
#include "reference/literal_pipeline.hpp"
#include "reference/random_values.hpp"
#include "support/capture.hpp"

namespace unionbound::testing {
namespace {

double awkwardMoment(std::mt19937_64& random) {
    std::uniform_int_distribution<int> kind(0, 9);
    switch (kind(random)) {
        case 0:
            return 0.0;
        case 1:
            return -0.0;
        case 2:
            return -awkwardProbability(random) * 3.0;
        case 3:
            return 1e300;
        default:
            return awkwardProbability(random) * 40.0;
    }
}

TEST(PowerMoments, MatchTheDenseConversionMatrixProduct) {
    std::mt19937_64 random(21);
    for (int trial = 0; trial < 500; ++trial) {
        const std::int32_t m = std::uniform_int_distribution<std::int32_t>(1, 7)(random);
        const std::int32_t q = std::uniform_int_distribution<std::int32_t>(1, 6)(random);
        IntMatrix pairs;
        IntVector orders(q, m);
        if (trial % 3 == 0) {
            // Tables the driver never builds: repeated and reversed pairs, mixed orders.
            for (int i = 0; i < 3; ++i) {
                pairs.push_back({std::uniform_int_distribution<std::int32_t>(1, q)(random),
                                 std::uniform_int_distribution<std::int32_t>(1, q)(random)});
            }
            for (std::int32_t& order : orders) {
                order = std::uniform_int_distribution<std::int32_t>(0, m)(random);
            }
        } else {
            for (std::int32_t c = 2; c <= q; ++c) {
                pairs.push_back({1, c});
            }
        }
        RealVector moments(momentIndexList(m, pairs, orders).size());
        for (double& moment : moments) {
            moment = awkwardMoment(random);
        }
        moments[0] = trial % 5 == 0 ? -0.0 : 1.0;
        const RealVector dense =
            MatVecProduct(reference::powerMomentMatrix(m, pairs, orders), moments);
        ASSERT_TRUE(sameBits(powerMoments(m, pairs, orders, moments), dense)) << "trial " << trial;
    }
}

TEST(PowerMoments, FollowTheDenseProductWhenAMomentIsNotFinite) {
    // 0.0 × infinity is not a number: leaving out a zero column would hide it.
    const IntMatrix pairs{{1, 2}};
    const IntVector orders{3, 3};
    for (double special :
         {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
          std::numeric_limits<double>::quiet_NaN()}) {
        RealVector moments(10, 0.25);
        moments[0] = 1.0;
        moments[2] = special;
        const RealVector dense =
            MatVecProduct(reference::powerMomentMatrix(3, pairs, orders), moments);
        const RealVector fast = powerMoments(3, pairs, orders, moments);
        EXPECT_TRUE(sameBits(fast, dense));
        EXPECT_TRUE(std::isnan(fast[5]));  // a row of the other subsequence meets the infinity
    }
}

TEST(PowerMoments, WriteTheSizeMessageLikeTheProductWhenMomentsAreMissing) {
    const IntMatrix pairs{{1, 2}};
    const IntVector orders{3, 3};
    const RealVector moments(5, 0.5);
    std::string fastText, denseText;
    RealVector fast, dense;
    std::tie(fast, fastText) = captured([&] { return powerMoments(3, pairs, orders, moments); });
    std::tie(dense, denseText) = captured([&] { return MatVecProduct(reference::powerMomentMatrix(3, pairs, orders), moments); });
    EXPECT_TRUE(sameBits(fast, dense));
    EXPECT_EQ(fastText, denseText);
    EXPECT_NE(fastText, "");
}

TEST(PowerMomentMatrix, EqualsTheEntryByEntryMatrix) {
    for (std::int32_t m = 1; m <= 7; ++m) {
        const IntMatrix pairs{{1, 2}, {1, 3}, {2, 1}};
        const IntVector orders{m, m - 1, m};
        EXPECT_EQ(powerMomentMatrix(m, pairs, orders),
                  reference::powerMomentMatrix(m, pairs, orders))
            << "m=" << m;
    }
}

}  // namespace
}  // namespace unionbound::testing
