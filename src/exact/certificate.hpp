// Proven bounds from multipliers of the moments (weak duality), whatever
// produced the multipliers.
//
// Multipliers y, one per moment of a pass in its order, define at every value
// point z = (z_1 … z_q), 0 ≤ z_c ≤ L_c, the function
//   g(z) = y_0 + Σ_c Σ_k y[c][k]·C(z_c, k) + Σ_{c≥2} Σ_{d,e} y[c][d][e]·C(z_1, d)·C(z_c, e),
// whose mean under any distribution of the counts is Σ_i y_i·M_i, M the
// moments of that distribution. If g(z) − 1{z ≠ 0} ≥ s at every point, then
// P(z ≠ 0) ≤ Σ_i y_i·M_i − s for every distribution with moments M; if
// g(z) − 1{z ≠ 0} ≤ −s', then P(z ≠ 0) ≥ Σ_i y_i·M_i + s'. And if g ≥ s
// everywhere while Σ_i y_i·M_i < s for every M in a box, no distribution has
// moments in that box.
//
// g separates into y_0 + f(z_1) + Σ_{c≥2} h_c(z_1, z_c), so its smallest value
// over the Π (L_c + 1) points takes O(Σ_c L_1·L_c·m) operations: for z_1 = a ≥ 1
// the h_c are minimised over z_c one by one; for z_1 = 0, f and h_c(0, 0)
// vanish, and the points other than 0 need some z_c ≥ 1. Every operation is
// rounded in the safe direction (numeric/directed_rounding.hpp), binomial
// coefficients are enclosed (numeric/binomial_bounds.hpp), and the rounding
// of the moments is covered by their error bounds, so each result is a proven
// bound for the exact moments of the given probabilities. A not-a-number or
// an overflow anywhere gives a bound that is not finite, never a wrong one.
#pragma once

#include "exact/pass_problem.hpp"
#include "numeric/binomial_bounds.hpp"
#include "numeric/types.hpp"

namespace unionbound {

class GridCheck {
  public:
    // Precondition: checkPassProblem(problem) accepts it; `problem` outlives this.
    explicit GridCheck(const PassProblem& problem);

    // A double ≤ min over all value points z of g(z) − unionWeight·1{z ≠ 0};
    // -infinity where it cannot be formed. unionWeight is exact as given.
    // Precondition: y has one entry per moment.
    double lowestSlack(const RealVector& y, double unionWeight) const;

    // A double ≥ max of Σ_i y_i·M_i over the moment vectors M with
    // |M_i − moments_i| ≤ errors_i + widening_i (widening empty: no widening);
    // +infinity where it cannot be formed.
    double largestMean(const RealVector& y, const RealVector& widening = {}) const;

    // A proven upper bound of the largest P(z ≠ 0) over all distributions
    // whose moments are within the errors of the pass's moments, from
    // multipliers meant to satisfy g ≥ 1{z ≠ 0}; at most 1. Not finite where
    // it cannot be formed. Where `slack` is given, it receives
    // lowestSlack(y, 1): how far the multipliers fell short (if negative).
    double upperBound(const RealVector& y, double* slack = nullptr) const;

    // A proven lower bound of the smallest P(z ≠ 0), from multipliers meant
    // to satisfy g ≤ 1{z ≠ 0}; at least 0. Not finite where it cannot be formed.
    // Where `slack` is given, it receives lowestSlack(−y, −1).
    double lowerBound(const RealVector& y, double* slack = nullptr) const;

    // True when y proves that no distribution of the counts has moments with
    // |M_i − moments_i| ≤ errors_i + widening_i for every i: g ≥ s at every
    // point while Σ_i y_i·M_i < s on the whole box.
    bool provesNoDistribution(const RealVector& y, const RealVector& widening) const;

  private:
    // A double ≤ Σ_{e=1}^{min(m,z)} alpha[e]·C(z, e) (exact), for a z whose
    // coefficients are exact doubles; its error bound found a priori, so the
    // sum takes plain operations.
    double sumDown(const RealVector& alpha, std::int32_t z) const;

    const PassProblem& problem_;
    PassLayout layout_;
    BinomialBounds binomial_;
    std::int32_t exactUpTo_ = 0;  // every C(z, e), z ≤ this, e ≤ m, is an exact double
};

}  // namespace unionbound
