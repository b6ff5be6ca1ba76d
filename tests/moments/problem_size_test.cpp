// The sizes of a problem that the passes can run with, and the largest
// order whose integer moment coefficients fit in 32 bits.
#include "moments/problem_size.hpp"

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace unionbound {
namespace {

constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();

// Whether every coefficient S(k,k')·k'! and S(e,e')·S(d,d')·e'!·d'! of order
// m fits in 32 bits, in exact integers: S by the recursion
// S(a,b) = S(a-1,b-1) + b·S(a-1,b), factorials by products.
bool coefficientsFitExactly(int m) {
    std::vector<std::vector<mpz_class>> S(m + 1, std::vector<mpz_class>(m + 1, 0));
    std::vector<mpz_class> factorial(m + 1, 1);
    S[0][0] = 1;
    for (int a = 1; a <= m; ++a) {
        factorial[a] = factorial[a - 1] * a;
        for (int b = 1; b <= a; ++b) {
            S[a][b] = S[a - 1][b - 1] + b * S[a - 1][b];
        }
    }
    const mpz_class largest = std::numeric_limits<std::int32_t>::max();
    for (int k = 1; k <= m; ++k) {
        for (int kk = 1; kk <= k; ++kk) {
            if (S[k][kk] * factorial[kk] > largest) {
                return false;
            }
        }
    }
    for (int e = 1; e < m; ++e) {
        for (int d = 1; d + e <= m; ++d) {
            for (int ee = 1; ee <= e; ++ee) {
                for (int dd = 1; dd <= d; ++dd) {
                    if (S[e][ee] * S[d][dd] * factorial[ee] * factorial[dd] > largest) {
                        return false;
                    }
                }
            }
        }
    }
    return true;
}

TEST(CoefficientsFit, AgreeWithExactIntegersForEveryOrderUpTo24) {
    for (int m = 1; m <= 24; ++m) {
        EXPECT_EQ(coefficientsFit(m), coefficientsFitExactly(m)) << "m=" << m;
    }
}

TEST(CheckOrder, GivesTheCheckedSizesOfARunnableProblem) {
    const struct {
        std::int64_t n, m;
    } cases[] = {{6, 3}, {10, 5}, {2344, 3}, {22, 11}};
    for (const auto& c : cases) {
        const Parsed<ProblemSize> size = checkOrder(c.n, c.m);
        ASSERT_TRUE(size.ok()) << size.message();
        EXPECT_EQ(size.value().n, c.n);
        EXPECT_EQ(size.value().m, c.m);
        EXPECT_EQ(checkEvents(c.n).value(), c.n);
    }
}

TEST(CheckOrder, AcceptsTheLargestOrderWhoseCoefficientsFit) {
    // Every S(k,k')·k'! up to order 11 fits in 32 bits; S(12,10)·10! does not.
    std::int32_t largest = 0;
    for (std::int32_t m = 3; m <= 21; m += 2) {
        if (checkOrder(2 * m, m).ok())
            largest = m;
    }
    EXPECT_EQ(largest, 11);
}

TEST(CheckOrder, GivesTheReasonOfNWhenNItselfCannotBeRun) {
    EXPECT_EQ(checkOrder(kInt64Max, 3).message(), checkEvents(kInt64Max).message());
    EXPECT_EQ(checkOrder(std::int64_t{1} << 31, 3).message(), checkEvents(std::int64_t{1} << 31).message());
    EXPECT_EQ(checkOrder(kInt64Min, -1).message(), checkEvents(kInt64Min).message());
    EXPECT_EQ(checkOrder(5, 3).message(), checkEvents(5).message());
}

TEST(CheckOrder, AcceptsTheSmallestRunnableOrders) {
    EXPECT_TRUE(checkOrder(6, 3).ok());
    EXPECT_TRUE(checkOrder(10, 5).ok());
}

TEST(CheckOrder, RefusesEvenTooSmallAndTooLargeOrders) {
    EXPECT_NE(checkOrder(10, 4).message().find("is even"), std::string::npos);
    EXPECT_NE(checkOrder(10, 1).message().find("is too small"), std::string::npos);
    EXPECT_NE(checkOrder(10, -3).message().find("is too small"), std::string::npos);
    EXPECT_NE(checkOrder(10, 7).message().find("larger than n/2=5"), std::string::npos);
    EXPECT_NE(checkOrder(std::int64_t{std::numeric_limits<std::int32_t>::max()}, kInt64Max)
                  .message()
                  .find("larger than n/2"),
              std::string::npos);
}

TEST(CheckOrder, RefusesAnIntersectionCountBeyond32Bits) {
    // C(2344,1) + C(2344,2) + C(2344,3) < 2^31 <= the same sum for 2345.
    EXPECT_TRUE(checkOrder(2344, 3).ok());
    EXPECT_NE(checkOrder(2345, 3).message().find("more intersection probabilities"), std::string::npos);
}

}  // namespace
}  // namespace unionbound
