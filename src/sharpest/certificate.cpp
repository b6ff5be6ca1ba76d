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
                                 double slack, std::vector<double>& scratch) {
    MultiplierProof proof;
    for (double value : y) {
        if (!std::isfinite(value)) {
            return proof;
        }
    }
    const bool atLeast = side == MultiplierSide::atLeast;
    placeOnLattice(rows, y, scratch);
    if (atLeast) {
        zetaTransformDown(scratch);
    } else {
        zetaTransformUp(scratch);
    }
    // The largest violation, rounded up: t − F for atLeast, F − t for atMost.
    double violation = 0.0;
    for (std::size_t omega = 0; omega < scratch.size(); ++omega) {
        const double t = omega == 0 ? 0.0 : target;
        const double v = atLeast ? addUp(t, -scratch[omega]) : addUp(scratch[omega], -t);
        if (std::isnan(v)) {
            return proof;
        }
        if (v > violation) {
            violation = v;
        }
    }
    // Σ y_S·p_S and Σ |y_S|·(error of p_S), both rounded outward.
    double bound = atLeast ? addUp(y[0], violation) : addDown(y[0], -violation);
    double error = 0.0;
    for (std::size_t row = 1; row < y.size(); ++row) {
        const double p = prob[row - 1];
        bound = atLeast ? addUp(bound, mulUp(y[row], p)) : addDown(bound, mulDown(y[row], p));
        error = addUp(error, mulUp(std::fabs(y[row]), addUp(readingError(p), slack)));
    }
    bound = atLeast ? addUp(bound, error) : addDown(bound, -error);
    if (!std::isfinite(bound) || !std::isfinite(violation)) {
        return proof;
    }
    proof.valid = true;
    proof.bound = bound;
    proof.shift = violation;
    return proof;
}

}  // namespace unionbound
