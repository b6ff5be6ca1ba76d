// The grid check of multipliers against brute force over every value point
// in exact rational arithmetic, with multipliers that are anything but
// feasible.
#include "exact/certificate.hpp"

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "exact/full_grid.hpp"

namespace unionbound {
namespace {

struct Shape {
    std::int32_t m;
    IntVector lengths;
};

// Multipliers of mixed signs over many magnitudes, the constant one included.
RealVector randomMultipliers(std::mt19937_64& random, std::size_t count) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-6, 3);
    RealVector y(count);
    for (double& v : y) {
        v = std::ldexp(unit(random), exponent(random));
    }
    return y;
}

PassProblem problemOf(const Shape& shape, std::mt19937_64& random) {
    PassProblem problem{shape.m, shape.lengths, {}, {}};
    const std::size_t size = passLayout(problem).size();
    std::uniform_real_distribution<double> unit(0.0, 3.0);
    problem.moments.assign(size, 0.0);
    problem.errors.assign(size, 0.0);
    problem.moments[0] = 1.0;
    for (std::size_t i = 1; i < size; ++i) {
        problem.moments[i] = unit(random);
        problem.errors[i] = std::ldexp(unit(random), -40);
    }
    return problem;
}

mpz_class binomial(std::int32_t a, std::int32_t k) {
    mpz_class value;
    mpz_bin_uiui(value.get_mpz_t(), static_cast<unsigned long>(a), static_cast<unsigned long>(k));
    return value;
}

const Shape kShapes[] = {{3, {4}},    {1, {3, 5}},    {2, {2, 3, 1}},    {3, {3, 3, 4}},
                         {4, {5, 2}}, {5, {4, 3, 2}}, {3, {1, 1, 1, 1}}, {6, {7, 7}}};

TEST(GridCheck, LowestSlackIsAtMostTheExactMinimumOverEveryValuePointAndCloseToIt) {
    // Rounding of a few dozen operations on numbers up to about 1e4.
    constexpr double kCheckRounding = 1e-9;
    std::mt19937_64 random(7);
    for (const Shape& shape : kShapes) {
        for (int trial = 0; trial < 20; ++trial) {
            const PassProblem problem = problemOf(shape, random);
            const GridCheck check(problem);
            const RealVector y = randomMultipliers(random, problem.moments.size());
            for (double weight : {1.0, -1.0, 0.0}) {
                mpq_class least;
                bool first = true;
                for (const IntVector& z : testing::valuePoints(problem.lengths)) {
                    const RealVector phi = testing::momentFunctions(problem, z);
                    mpq_class g = 0;
                    for (std::size_t i = 0; i < phi.size(); ++i) {
                        g += mpq_class(y[i]) * mpq_class(phi[i]);
                    }
                    const bool some =
                        std::any_of(z.begin(), z.end(), [](std::int32_t v) { return v > 0; });
                    g -= some ? mpq_class(weight) : mpq_class(0);
                    if (first || g < least) {
                        least = g;
                        first = false;
                    }
                }
                const double slack = check.lowestSlack(y, weight);
                EXPECT_LE(mpq_class(slack), least) << "m=" << shape.m << " weight " << weight;
                EXPECT_NEAR(slack, least.get_d(), kCheckRounding);
            }
        }
    }
}

TEST(GridCheck, LowestSlackStaysBelowTheExactMinimumWhereCoefficientsOutgrowDoubles) {
    // C(1500, 6) ≈ 1.6e16 > 2^53: beyond some z the coefficients are only
    // enclosed, and the check leaves its plain sums for proven operations.
    // Closeness is relative to the largest term, the sums' own rounding.
    constexpr double kRelativeRounding = 1e-12;
    const Shape shapes[] = {{6, {2, 1500}}, {5, {1, 3000}}};
    std::mt19937_64 random(10);
    for (const Shape& shape : shapes) {
        const PassProblem problem = problemOf(shape, random);
        const GridCheck check(problem);
        const RealVector y = randomMultipliers(random, problem.moments.size());
        mpq_class least;
        double largestTerm = 0.0;
        bool first = true;
        const PassLayout layout = passLayout(problem);
        for (const IntVector& z : testing::valuePoints(problem.lengths)) {
            // φ_i(z) in integers: 1, C(z_c, k), C(z_1, d)·C(z_2, e).
            std::vector<mpz_class> phi(layout.size(), 0);
            phi[0] = 1;
            for (std::int32_t c = 1; c <= 2; ++c) {
                for (std::int32_t k = 1; k <= shape.m; ++k) {
                    phi[layout.single(c, k)] = binomial(z[static_cast<std::size_t>(c - 1)], k);
                }
            }
            for (std::int32_t e = 1; e < shape.m; ++e) {
                for (std::int32_t d = 1; d + e <= shape.m; ++d) {
                    phi[layout.pair(2, d, e)] = binomial(z[0], d) * binomial(z[1], e);
                }
            }
            mpq_class g = 0;
            for (std::size_t i = 0; i < phi.size(); ++i) {
                g += mpq_class(y[i]) * mpq_class(phi[i]);
                largestTerm = std::max(largestTerm, std::fabs(y[i] * phi[i].get_d()));
            }
            if (first || g < least) {
                least = g;
                first = false;
            }
        }
        const double slack = check.lowestSlack(y, 0.0);
        EXPECT_LE(mpq_class(slack), least) << "m=" << shape.m;
        EXPECT_NEAR(slack, least.get_d(), kRelativeRounding * largestTerm) << "m=" << shape.m;
    }
}

TEST(GridCheck, LargestMeanCoversEveryMomentVectorInTheWidenedBox) {
    constexpr double kCheckRounding = 1e-12;
    std::mt19937_64 random(8);
    for (const Shape& shape : kShapes) {
        const PassProblem problem = problemOf(shape, random);
        const GridCheck check(problem);
        const RealVector y = randomMultipliers(random, problem.moments.size());
        const RealVector widening(problem.moments.size(), 1e-9);
        mpq_class exact = 0;
        for (std::size_t i = 0; i < y.size(); ++i) {
            exact += mpq_class(y[i]) * mpq_class(problem.moments[i]) +
                     abs(mpq_class(y[i])) * (mpq_class(problem.errors[i]) + mpq_class(widening[i]));
        }
        const double mean = check.largestMean(y, widening);
        EXPECT_GE(mpq_class(mean), exact);
        EXPECT_NEAR(mean, exact.get_d(), kCheckRounding);
    }
}

TEST(GridCheck, MultipliersThatAreNotNumbersNeverGiveAFiniteBound) {
    const double kNotFinite[] = {std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::infinity(), 1e308};
    std::mt19937_64 random(9);
    const PassProblem problem = problemOf({3, {3, 4}}, random);
    const GridCheck check(problem);
    for (double bad : kNotFinite) {
        for (std::size_t position : {std::size_t{0}, std::size_t{2}, problem.moments.size() - 1}) {
            RealVector y(problem.moments.size(), 0.5);
            y[position] = bad;
            if (bad == 1e308) {
                y.assign(y.size(), bad);  // overflows in the products
            }
            EXPECT_FALSE(std::isfinite(check.upperBound(y))) << bad << " at " << position;
            EXPECT_FALSE(std::isfinite(check.lowerBound(y))) << bad << " at " << position;
            EXPECT_FALSE(check.provesNoDistribution(y, {}));
        }
    }
}

}  // namespace
}  // namespace unionbound
