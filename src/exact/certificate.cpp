#include "exact/certificate.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "numeric/directed_rounding.hpp"

namespace unionbound {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::int32_t longest(const IntVector& lengths) {
    return *std::max_element(lengths.begin(), lengths.end());
}

// A double ≤ y·C for an integer C ≥ 0 enclosed by [low, high].
double productDown(double y, double low, double high) {
    return y >= 0.0 ? mulDown(y, low) : mulDown(y, high);
}

// The smaller of two values, a not-a-number winning (so that it is never
// dropped from a minimum).
double lowest(double a, double b) {
    return (b < a || std::isnan(b)) ? b : a;
}

}  // namespace

GridCheck::GridCheck(const PassProblem& problem)
    : problem_(problem),
      layout_(passLayout(problem)),
      binomial_(longest(problem.lengths), problem.m) {
    // Pascal's rule is exact while its sums are, so the coefficients are
    // exact up to the first z with an enclosure that is not a single double.
    exactUpTo_ = binomial_.top();
    for (std::int32_t z = 0; z <= binomial_.top() && exactUpTo_ == binomial_.top(); ++z) {
        for (std::int32_t e = 0; e <= binomial_.orders(); ++e) {
            if (binomial_.lower(z, e) != binomial_.upper(z, e)) {
                exactUpTo_ = z - 1;
                break;
            }
        }
    }
}

double GridCheck::sumDown(const RealVector& alpha, std::int32_t z) const {
    // With exact coefficients C_e and n = min(m, z) terms, the sum ĥ and the
    // sum of magnitudes T̂ computed in round-to-nearest satisfy
    // |ĥ − Σ α_e·C_e| ≤ γ_n·Σ |α_e·C_e| ≤ γ_n/(1 − γ_n)·T̂ ≤ (n + 1)·u·T̂
    // (u = 2^-53, γ_n = n·u/(1 − n·u)) while nothing underflows. Subtracting
    // (n + 3)·u·T̂ in round-to-nearest leaves room for the rounding of that
    // product and of the subtraction (each at most u·T̂ with room to spare,
    // as |ĥ| ≤ (1 + 2n·u)·T̂), and the guard 2^-1000 covers every error
    // of a product that underflows (at most 2^-1075 each). A not-a-number
    // or an infinity in any term makes the result a not-a-number or
    // -infinity.
    constexpr double kUnit = 0x1p-53;
    constexpr double kUnderflowGuard = 0x1p-1000;
    const std::int32_t terms = std::min(problem_.m, z);
    double sum = 0.0;
    double magnitude = 0.0;
    for (std::int32_t e = 1; e <= terms; ++e) {
        const double term = alpha[static_cast<std::size_t>(e)] * binomial_.lower(z, e);
        sum += term;
        magnitude += std::fabs(term);
    }
    const double margin = static_cast<double>(terms + 3) * kUnit * magnitude + kUnderflowGuard;
    return sum - margin;
}

double GridCheck::lowestSlack(const RealVector& y, double unionWeight) const {
    for (double value : y) {
        if (!std::isfinite(value)) {
            return -kInfinity;
        }
    }
    const std::int32_t m = problem_.m;
    const std::int32_t q = layout_.q;
    const std::int32_t top = problem_.lengths[0];
    const double y0 = y[0];

    // rest[a] bounds f(a) + Σ_c min_z h_c(a, z) from below, for a ≥ 1.
    RealVector rest(static_cast<std::size_t>(top + 1), 0.0);
    for (std::int32_t a = 1; a <= top; ++a) {
        double f = 0.0;
        for (std::int32_t k = 1; k <= m; ++k) {
            f = addDown(f, productDown(y[layout_.single(1, k)], binomial_.lower(a, k),
                                       binomial_.upper(a, k)));
        }
        rest[static_cast<std::size_t>(a)] = f;
    }
    // For z_1 = 0: the sum of the μ_c = min_{z≥0} h_c(0, z), and the
    // smallest ν_c − μ_c + Σ μ over the c (ν_c = min_{z≥1} h_c(0, z)).
    RealVector mu(static_cast<std::size_t>(q + 1), 0.0);
    RealVector nu(static_cast<std::size_t>(q + 1), kInfinity);
    RealVector alpha(static_cast<std::size_t>(m + 1), 0.0);
    for (std::int32_t c = 2; c <= q; ++c) {
        const std::int32_t length = problem_.lengths[static_cast<std::size_t>(c - 1)];
        for (std::int32_t a = 0; a <= top; ++a) {
            // h_c(a, z) = Σ_e α_e·C(z, e), α_e = y[c][e] + Σ_d y[c][d][e]·C(a, d);
            // as C(z, e) ≥ 0, a lower bound of α_e serves for every z.
            for (std::int32_t e = 1; e <= m; ++e) {
                double sum = y[layout_.single(c, e)];
                for (std::int32_t d = 1; d + e <= m; ++d) {
                    sum = addDown(sum, productDown(y[layout_.pair(c, d, e)], binomial_.lower(a, d),
                                                   binomial_.upper(a, d)));
                }
                alpha[static_cast<std::size_t>(e)] = sum;
            }
            double least = 0.0;  // h_c(a, 0) = 0
            double leastAboveZero = kInfinity;
            const std::int32_t fast = std::min(length, exactUpTo_);
            for (std::int32_t z = 1; z <= fast; ++z) {
                leastAboveZero = lowest(leastAboveZero, sumDown(alpha, z));
            }
            for (std::int32_t z = fast + 1; z <= length; ++z) {
                double h = 0.0;
                for (std::int32_t e = 1; e <= m && e <= z; ++e) {
                    h = addDown(h, productDown(alpha[static_cast<std::size_t>(e)],
                                               binomial_.lower(z, e), binomial_.upper(z, e)));
                }
                leastAboveZero = lowest(leastAboveZero, h);
            }
            least = lowest(least, leastAboveZero);
            if (a == 0) {
                mu[static_cast<std::size_t>(c)] = least;
                nu[static_cast<std::size_t>(c)] = leastAboveZero;
            } else {
                rest[static_cast<std::size_t>(a)] =
                    addDown(rest[static_cast<std::size_t>(a)], least);
            }
        }
    }

    double slack = y0;  // the point where no event occurs
    for (std::int32_t a = 1; a <= top; ++a) {
        slack =
            lowest(slack, addDown(addDown(y0, rest[static_cast<std::size_t>(a)]), -unionWeight));
    }
    if (q >= 2) {
        double sumMu = 0.0;
        for (std::int32_t c = 2; c <= q; ++c) {
            sumMu = addDown(sumMu, mu[static_cast<std::size_t>(c)]);
        }
        // sumMu ≤ Σ μ exactly, so sumMu − μ_c ≤ Σ_{c' ≠ c} μ_{c'}.
        double others = kInfinity;
        for (std::int32_t c = 2; c <= q; ++c) {
            others = lowest(others, addDown(addDown(sumMu, -mu[static_cast<std::size_t>(c)]),
                                            nu[static_cast<std::size_t>(c)]));
        }
        slack = lowest(slack, addDown(addDown(y0, others), -unionWeight));
    }
    return std::isnan(slack) ? -kInfinity : slack;
}

double GridCheck::largestMean(const RealVector& y, const RealVector& widening) const {
    double sum = 0.0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        if (y[i] == 0.0) {
            continue;
        }
        const double reach =
            widening.empty() ? problem_.errors[i] : addUp(problem_.errors[i], widening[i]);
        sum = addUp(sum, addUp(mulUp(y[i], problem_.moments[i]), mulUp(std::fabs(y[i]), reach)));
    }
    return std::isnan(sum) ? kInfinity : sum;
}

double GridCheck::upperBound(const RealVector& y, double* slack) const {
    // P(z ≠ 0) ≤ E[g] − s, s = min (g − 1{z ≠ 0}).
    const double least = lowestSlack(y, 1.0);
    if (slack != nullptr) {
        *slack = least;
    }
    const double bound = addUp(largestMean(y, {}), -least);
    return std::isfinite(bound) ? std::min(bound, 1.0) : kInfinity;
}

double GridCheck::lowerBound(const RealVector& y, double* slack) const {
    // With y' = −y: g' + 1{z ≠ 0} ≥ s' gives P(z ≠ 0) ≥ E[g] + s'.
    RealVector negated(y.size());
    std::transform(y.begin(), y.end(), negated.begin(), [](double v) { return -v; });
    const double least = lowestSlack(negated, -1.0);
    if (slack != nullptr) {
        *slack = least;
    }
    const double bound = addDown(-largestMean(negated, {}), least);
    return std::isfinite(bound) ? std::max(bound, 0.0) : -kInfinity;
}

bool GridCheck::provesNoDistribution(const RealVector& y, const RealVector& widening) const {
    const double floor = lowestSlack(y, 0.0);
    const double mean = largestMean(y, widening);
    return std::isfinite(floor) && std::isfinite(mean) && mean < floor;
}

}  // namespace unionbound
