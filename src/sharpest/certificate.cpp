#include "sharpest/certificate.hpp"

#include <cmath>

#include "numeric/directed_rounding.hpp"

namespace unionbound {

double readingError(double p) {
    const double size = std::fabs(p);
    // Adjacent doubles differ by an exactly representable spacing; the
    // decimal lies within half of the larger spacing around p.
    return nextUp(size) - size;
}

MultiplierProof proveMultipliers(const OutcomeRows& rows, std::span<const double> y,
                                 std::span<const double> prob, MultiplierSide side, double target,
                                 double slack, bool floatZeroRows, ProofScratch& scratch) {
    MultiplierProof proof;
    for (double value : y) {
        if (!std::isfinite(value)) {
            return proof;
        }
    }
    const bool atLeast = side == MultiplierSide::atLeast;
    std::vector<double>& prices = scratch.prices;
    placeOnLattice(rows, y, prices);
    if (atLeast) {
        zetaTransformDown(prices);
    } else {
        zetaTransformUp(prices);
    }
    if (floatZeroRows) {
        markOutcomesOfZeroIntersections(rows, prob, scratch.marks);
    }
    // The largest violations, rounded up: t − F for atLeast, F − t for
    // atMost; apart for the outcomes with an intersection of probability 0.
    double violation = 0.0;
    double zeroViolation = 0.0;
    for (std::size_t omega = 0; omega < prices.size(); ++omega) {
        const double t = omega == 0 ? 0.0 : target;
        const double v = atLeast ? addUp(t, -prices[omega]) : addUp(prices[omega], -t);
        if (std::isnan(v)) {
            return proof;
        }
        double& largest = floatZeroRows && scratch.marks[omega] != 0 ? zeroViolation : violation;
        if (v > largest) {
            largest = v;
        }
    }
    // Σ y_S·p_S and Σ |y_S|·(error of p_S), both rounded outward.
    double bound = atLeast ? addUp(y[0], violation) : addDown(y[0], -violation);
    double error = 0.0;
    for (std::size_t row = 1; row < y.size(); ++row) {
        const double p = prob[row - 1];
        double multiplier = y[row];
        if (floatZeroRows && p == 0.0) {
            multiplier =
                atLeast ? addUp(multiplier, zeroViolation) : addDown(multiplier, -zeroViolation);
        }
        bound =
            atLeast ? addUp(bound, mulUp(multiplier, p)) : addDown(bound, mulDown(multiplier, p));
        error = addUp(error, mulUp(std::fabs(multiplier), addUp(readingError(p), slack)));
    }
    bound = atLeast ? addUp(bound, error) : addDown(bound, -error);
    if (!std::isfinite(bound) || !std::isfinite(violation) || !std::isfinite(zeroViolation)) {
        return proof;
    }
    proof.valid = true;
    proof.bound = bound;
    proof.shift = violation;
    return proof;
}

}  // namespace unionbound
