// The proven error bounds of the moment sums, against the exact sums (GMP
// rationals) of the decimal numbers a file holds.
#include "moments/moment_errors.hpp"

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "exact/pass_problem.hpp"
#include "input/prob_reader.hpp"
#include "moments/moment_index.hpp"
#include "moments/moment_sweep.hpp"
#include "moments/subsets.hpp"

namespace unionbound {
namespace {

// A decimal with 19 significant digits (never a double exactly), sometimes
// slightly negative or above 1 within the reader's range, sometimes subnormal.
std::string randomDecimal(std::mt19937_64& random) {
    std::string digits;
    for (int i = 0; i < 19; ++i) {
        digits += static_cast<char>('0' + random() % 10);
    }
    switch (random() % 8) {
        case 0:
            return "-0.000000000" + digits.substr(0, 12);  // in (-1e-9, 0]
        case 1:
            return "1.0000000000" + digits.substr(0, 9);  // just above 1
        case 2:
            return "0." + digits + "e-310";  // subnormal
        default:
            return "0." + digits;
    }
}

mpq_class exactDecimal(const std::string& text) {
    // ±I.F[e-E] as a fraction.
    const bool negative = text[0] == '-';
    const std::string body = negative ? text.substr(1) : text;
    const std::size_t e = body.find('e');
    const std::string mantissa = body.substr(0, e);
    const std::size_t dot = mantissa.find('.');
    const std::string digits = mantissa.substr(0, dot) + mantissa.substr(dot + 1);
    std::size_t scale = mantissa.size() - dot - 1;
    if (e != std::string::npos) {
        scale += static_cast<std::size_t>(-std::stoi(body.substr(e + 1)));
    }
    mpz_class denominator;
    mpz_ui_pow_ui(denominator.get_mpz_t(), 10, scale);
    mpq_class value(mpz_class(digits, 10), denominator);
    value.canonicalize();
    return negative ? mpq_class(-value) : value;
}

struct Case {
    std::int32_t n, m;
    std::uint64_t seed;
};

TEST(MomentErrors, BoundTheDistanceFromTheExactSumOfTheDecimalsOfTheFile) {
    // The bounds must be useful too: N probabilities of at most 1 are summed
    // with an error below about N²·2^-53, and the bounds stay below twice that.
    constexpr double kUsefulFactor = 0x1p-52;
    const Case cases[] = {{9, 3, 1}, {12, 4, 2}, {16, 2, 3}, {24, 3, 4}, {10, 5, 5}, {7, 1, 6}};
    for (const Case& c : cases) {
        std::mt19937_64 random(c.seed);
        std::vector<std::string> words;
        std::string text;
        for (std::int64_t i = 0; i < intersectionCount(c.n, c.m); ++i) {
            words.push_back(randomDecimal(random));
            text += words.back() + "\n";
        }
        const ProbabilityInput input = parseIntersectionProbabilities(text, c.n, c.m, "test");
        ASSERT_TRUE(input.ok()) << input.message();
        const IntMatrix subsets = allSubsets(c.n, c.m);
        for (std::int32_t l = 1; l <= c.n; ++l) {
            const std::int32_t q = c.n / l;
            IntMatrix pairs;
            for (std::int32_t s = 2; s <= q; ++s) {
                pairs.push_back({1, s});
            }
            const RealVector moments =
                binomialMomentsOfPasses(
                    input.value(), c.n, c.m,
                    {{l, pairs, IntVector(static_cast<std::size_t>(q), c.m)}})[0]
                    .moments;
            const PassProblem problem = makePassProblem(c.n, l, c.m, moments);
            const PassLayout layout = passLayout(problem);
            const RealVector counts = passTermCounts(problem);
            // The exact moments, by the subsequences of the events of every subset.
            std::vector<mpq_class> exact(layout.size());
            exact[0] = 1;
            for (std::size_t s = 0; s < subsets.size(); ++s) {
                IntVector inside(static_cast<std::size_t>(q + 1), 0);
                for (std::int32_t x : subsets[s]) {
                    ++inside[static_cast<std::size_t>(std::min((x - 1) / l + 1, q))];
                }
                const auto size = static_cast<std::int32_t>(subsets[s].size());
                for (std::int32_t sub = 1; sub <= q; ++sub) {
                    const std::int32_t here = inside[static_cast<std::size_t>(sub)];
                    if (here == size) {
                        exact[layout.single(sub, size)] += exactDecimal(words[s]);
                    } else if (sub >= 2 && here > 0 && inside[1] + here == size) {
                        exact[layout.pair(sub, inside[1], here)] += exactDecimal(words[s]);
                    }
                }
            }
            for (std::size_t i = 0; i < layout.size(); ++i) {
                const mpq_class distance = abs(mpq_class(moments[i]) - exact[i]);
                EXPECT_LE(distance, mpq_class(problem.errors[i]))
                    << "n=" << c.n << " m=" << c.m << " l=" << l << " " << layout.name(i);
                const double n = counts[i] + 1.0;
                EXPECT_LT(problem.errors[i], kUsefulFactor * n * n) << layout.name(i);
            }
        }
    }
}

TEST(MomentErrors, CountTheProbabilitiesEachMomentAdds) {
    // Lengths (3, 5), m = 3: C(3,k), C(5,k), then C(3,d)·C(5,e) for
    // (d,e) = (1,1), (2,1), (1,2); orders above a length add none.
    const IntMatrixList index = momentIndexList(3, {{1, 2}}, {3, 3});
    const RealVector expected = {0, 3, 3, 1, 5, 10, 10, 15, 15, 30};
    EXPECT_EQ(momentTermCounts(index, {3, 5}), expected);
    const RealVector shortFirst = {0, 1, 0, 0, 5, 10, 10, 5, 0, 10};
    EXPECT_EQ(momentTermCounts(index, {1, 5}), shortFirst);
}

TEST(MomentErrors, AssumeTheRangeOfValuesTheReaderAccepts) {
    EXPECT_EQ(kProbabilityTolerance, kRoundingOfTheData);
}

}  // namespace
}  // namespace unionbound
