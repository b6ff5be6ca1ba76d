#include "sharpest/outcome_lattice.hpp"

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "moments/subsets.hpp"

namespace unionbound {
namespace {

OutcomeMask maskOf(const IntVector& subset) {
    OutcomeMask mask = 0;
    for (std::int32_t event : subset) {
        mask |= OutcomeMask{1} << (event - 1);
    }
    return mask;
}

struct Size {
    std::int32_t n;
    std::int32_t m;
};
constexpr Size kSizes[] = {{1, 1}, {4, 2}, {6, 3}, {7, 7}, {9, 4}, {12, 5}};

TEST(OutcomeRows, NumberTheIntersectionsInTheSubsetOrderOfTheProbabilities) {
    for (const Size size : kSizes) {
        const OutcomeRows rows(size.n, size.m);
        ASSERT_EQ(rows.rowCount(), 1 + intersectionCount(size.n, size.m));
        EXPECT_EQ(rows.maskOfRow(0), 0U);
        for (std::int32_t row = 1; row < rows.rowCount(); ++row) {
            const OutcomeMask mask = maskOf(subsetAtPosition(size.n, size.m, row - 1));
            ASSERT_EQ(rows.maskOfRow(row), mask) << "n=" << size.n << " m=" << size.m;
            ASSERT_EQ(rows.rowOf(mask), row) << "n=" << size.n << " m=" << size.m;
        }
    }
}

TEST(OutcomeRows, GiveAnOutcomeTheRowOfEverySubsetItContains) {
    for (const Size size : kSizes) {
        if (size.n > 9) {
            continue;  // every outcome against every row
        }
        const OutcomeRows rows(size.n, size.m);
        std::vector<std::int32_t> got;
        for (OutcomeMask omega = 0; omega < rows.outcomeCount(); ++omega) {
            std::vector<std::int32_t> expected;
            for (std::int32_t row = 0; row < rows.rowCount(); ++row) {
                if ((rows.maskOfRow(row) & ~omega) == 0) {
                    expected.push_back(row);
                }
            }
            rows.rowsOfOutcome(omega, got);
            ASSERT_EQ(got, expected) << "n=" << size.n << " m=" << size.m << " outcome " << omega;
        }
    }
}

// The exact sum over the subsets (or the supersets) of every `stride`-th
// outcome, by walking its submasks (or those of its complement).
std::vector<mpq_class> directSums(const std::vector<double>& values, std::size_t stride,
                                  bool supersets) {
    const std::size_t all = values.size() - 1;
    std::vector<mpq_class> sums(values.size());
    for (std::size_t omega = 0; omega < values.size(); omega += stride) {
        const std::size_t free = supersets ? all & ~omega : omega;
        for (std::size_t s = free;; s = (s - 1) & free) {
            sums[omega] += mpq_class(values[supersets ? omega | s : s]);
            if (s == 0) {
                break;
            }
        }
    }
    return sums;
}

// Values in [−1, 1]: partial sums stay below 2^14, and each of the n
// roundings along a chain costs at most 2^-53 of one: far below this.
constexpr double kTransformRounding = 1e-9;

TEST(LatticeTransforms, SumOverSubsetsExactlyInWholeNumbersAndOverSupersetsToRounding) {
    std::mt19937_64 random(20260101);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::uniform_int_distribution<std::int64_t> units(-(std::int64_t{1} << 40),
                                                      std::int64_t{1} << 40);
    for (int n : {1, 2, 5, 11, 13, 14}) {
        std::vector<double> values(std::size_t{1} << n);
        std::vector<std::int64_t> whole(values.size());
        for (std::size_t k = 0; k < values.size(); ++k) {
            // Mixed magnitudes, so that the sums round.
            values[k] = value(random) * (value(random) > 0.0 ? 1.0 : 1e-7);
            whole[k] = units(random);
        }
        // Above 12 events (the tiles of events), a sample.
        const std::size_t stride = n > 12 ? 31 : 1;
        std::vector<double> wholeAsDoubles(whole.begin(), whole.end());
        const std::vector<mpq_class> subsetSums = directSums(wholeAsDoubles, stride, false);
        const std::vector<mpq_class> supersetSums = directSums(values, stride, true);
        std::vector<double> supersets = values;
        zetaTransform(std::span<std::int64_t>(whole));
        supersetTransform(supersets);
        for (std::size_t omega = 0; omega < values.size(); omega += stride) {
            ASSERT_EQ(mpq_class(static_cast<long>(whole[omega])), subsetSums[omega])
                << "n=" << n << " outcome " << omega;
            ASSERT_NEAR(supersets[omega], supersetSums[omega].get_d(), kTransformRounding)
                << "n=" << n << " outcome " << omega;
        }
    }
}

TEST(LatticeTransforms, ReachEveryEventAboveTheTilesOfManyEvents) {
    // 23 events take the in-cache blocks and two tiles of events; values at
    // a few outcomes (whole numbers) let every sum be checked directly.
    const int n = 23;
    const std::size_t size = std::size_t{1} << n;
    std::mt19937_64 random(20261211);
    std::uniform_int_distribution<std::size_t> outcome(0, size - 1);
    std::vector<std::pair<std::size_t, double>> placed;
    std::vector<double> subsets(size, 0.0);
    for (int k = 0; k < 48; ++k) {
        const std::size_t at = outcome(random);
        subsets[at] += k + 1;
        placed.emplace_back(at, k + 1);
    }
    std::vector<double> supersets = subsets;
    zetaTransform(subsets);
    supersetTransform(supersets);
    for (std::size_t omega = 0; omega < size; omega += 7) {
        double below = 0.0;
        double above = 0.0;
        for (const auto& [at, value] : placed) {
            below += (at & ~omega) == 0 ? value : 0.0;
            above += (omega & ~at) == 0 ? value : 0.0;
        }
        ASSERT_EQ(subsets[omega], below) << "outcome " << omega;
        ASSERT_EQ(supersets[omega], above) << "outcome " << omega;
    }
}

TEST(ZeroIntersections, MarkExactlyTheOutcomesThatContainOne) {
    const std::int32_t n = 6;
    const std::int32_t m = 3;
    const OutcomeRows rows(n, m);
    RealVector prob(static_cast<std::size_t>(rows.rowCount() - 1), 0.5);
    const std::vector<OutcomeMask> zeros = {0b000011, 0b101000, 0b010100 | 0b000001};
    for (OutcomeMask zero : zeros) {
        prob[static_cast<std::size_t>(rows.rowOf(zero) - 1)] = 0.0;
    }
    std::vector<std::uint8_t> marks;
    markOutcomesOfZeroIntersections(rows, prob, marks);
    for (OutcomeMask omega = 0; omega < rows.outcomeCount(); ++omega) {
        const bool contains = std::any_of(zeros.begin(), zeros.end(),
                                          [&](OutcomeMask z) { return (z & ~omega) == 0; });
        ASSERT_EQ(marks[omega] != 0, contains) << "outcome " << omega;
    }
}

}  // namespace
}  // namespace unionbound
