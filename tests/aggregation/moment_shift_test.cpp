#include "aggregation/moment_shift.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "moments/moment_index.hpp"
#include "support/capture.hpp"

namespace unionbound {
namespace {

TEST(MomentLookups, FindTheFirstMatchingEntry) {
    IntMatrixList L = momentIndexList(3, {{1, 2}}, {3, 3});
    L.push_back({{1}, {2}});  // a second ((1),(2)) further on
    EXPECT_EQ(findSingleEntry(L, 1, 2), 2);
    EXPECT_EQ(findSingleEntry(L, 4, 1), -1);
    EXPECT_EQ(findMixedEntry(L, 1, 2, 2, 1), 8);
    EXPECT_EQ(findMixedEntry(L, 2, 1, 1, 1), -1);
    const MomentLookup lookup(L);
    EXPECT_EQ(lookup.single(1, 2), 2);
    EXPECT_EQ(lookup.single(4, 1), -1);
    EXPECT_EQ(lookup.mixed(1, 2, 2, 1), 8);
    EXPECT_EQ(lookup.mixed(2, 1, 1, 1), -1);
}

TEST(MomentLookups, AgreeWithTheScansOnEveryQuery) {
    const IntMatrixList L = momentIndexList(5, {{1, 2}, {1, 3}, {1, 2}}, {5, 4, 5});
    const MomentLookup lookup(L);
    for (std::int32_t j = 0; j <= 4; ++j) {
        for (std::int32_t e = 0; e <= 6; ++e) {
            ASSERT_EQ(lookup.single(j, e), findSingleEntry(L, j, e));
            for (std::int32_t j2 = 0; j2 <= 4; ++j2) {
                for (std::int32_t e2 = 0; e2 <= 5; ++e2) {
                    ASSERT_EQ(lookup.mixed(j, j2, e, e2), findMixedEntry(L, j, j2, e, e2));
                }
            }
        }
    }
}

TEST(ShiftMoments, WithZeroShiftsGiveTheMomentsBack) {
    const IntMatrixList L = momentIndexList(3, {{1, 2}}, {3, 3});
    const RealVector rhs = {1, 0.3, 0.5, 0.9, 0.2, 0.25, 0.31, 0.07, 0.11, 0.13};
    EXPECT_EQ(shiftMoments(rhs, {0.0, 0.0}, L, {3, 3}), rhs);
}

TEST(ShiftMoments, ExpandTheWorkedCases) {
    // One coordinate, h = 2, μ(1) = 3, μ(2) = 11: 4 - 12 + 11.
    const IntMatrixList one = momentIndexList(2, {}, {2});
    EXPECT_EQ(shiftMoments({1, 3, 11}, {2.0}, one, {2}), (RealVector{1, 3 - 2, 3}));
    // ((1,2),(1,1)): h1·h2 - h2·μ1 - h1·μ2 + μ12.
    const IntMatrixList two = momentIndexList(2, {{1, 2}}, {1, 1});
    const double h1 = 0.5, h2 = 4.0, mu1 = 0.75, mu2 = 1.5, mu12 = 2.0;
    EXPECT_EQ(shiftMoments({1, mu1, mu2, mu12}, {h1, h2}, two, {1, 1}),
              (RealVector{1, mu1 - h1, mu2 - h2, h1 * h2 - h2 * mu1 - h1 * mu2 + mu12}));
}

TEST(ShiftMoments, AreTheMomentsOfTheShiftedCoordinates) {
    // A random distribution of (X1, X2) on a few integer points: the shifted
    // moments must equal E[(X1-h1)^e] and E[(X1-h1)^e1 (X2-h2)^e2].
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (std::int32_t m : {3, 5}) {
        for (int trial = 0; trial < 20; ++trial) {
            std::vector<std::array<double, 3>> points;  // x1, x2, weight
            double total = 0;
            for (int k = 0; k < 6; ++k) {
                points.push_back({double(random() % 7), double(random() % 9), unit(random)});
                total += points.back()[2];
            }
            for (auto& p : points)
                p[2] /= total;
            const IntMatrixList L = momentIndexList(m, {{1, 2}}, {m, m});
            const auto expectation = [&](const IntMatrix& entry, double h1, double h2) {
                double sum = 0;
                for (const auto& p : points) {
                    double value = 1;
                    if (entry[0].size() == 1) {
                        value = std::pow((entry[0][0] == 1 ? p[0] - h1 : p[1] - h2), entry[1][0]);
                    } else if (entry[0][0] != 0) {
                        value = std::pow(p[0] - h1, entry[1][0]) * std::pow(p[1] - h2, entry[1][1]);
                    }
                    sum += p[2] * value;
                }
                return sum;
            };
            RealVector rhs;
            for (const IntMatrix& entry : L)
                rhs.push_back(expectation(entry, 0, 0));
            const double h1 = double(random() % 7), h2 = -double(random() % 9);
            const RealVector shifted = shiftMoments(rhs, {h1, h2}, L, {m, m});
            ASSERT_EQ(shifted.size(), L.size());
            for (std::size_t i = 0; i < L.size(); ++i) {
                const double expected = expectation(L[i], h1, h2);
                // Moments up to 8^5 · 9^5: cancellation costs a few ulps of the
                // largest term, so compare relative to the unshifted scale.
                const double scale = std::max(1.0, std::abs(rhs[i]) + std::pow(9.0, m + 1));
                EXPECT_NEAR(shifted[i], expected, 1e-12 * scale) << "m=" << m << " entry " << i;
            }
        }
    }
}

TEST(ShiftMoments, RefuseAListThatLacksAMomentOfTheExpansion) {
    IntMatrixList L = momentIndexList(3, {{1, 2}}, {3, 3});
    L.erase(L.begin() + 2);  // ((1),(2)) is gone
    const auto [shifted, out] = testing::captured([&] {
        return shiftMoments(RealVector(L.size(), 0.5), {1, 2}, L, {2, 3});
    });
    EXPECT_TRUE(shifted.empty());
    EXPECT_EQ(
        out,
        "in shiftMoments, entry 2 needs a coordinate or a moment that the list does not hold\n");

    const IntMatrixList full = momentIndexList(3, {{1, 2}}, {3, 3});
    const auto [noShift, noShiftOut] = testing::captured([&] {
        return shiftMoments(RealVector(full.size(), 0.5), {1}, full, {3, 3});
    });
    EXPECT_TRUE(noShift.empty());
    EXPECT_NE(noShiftOut.find("in shiftMoments"), std::string::npos);
}

}  // namespace
}  // namespace unionbound
