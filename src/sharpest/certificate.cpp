#include "sharpest/certificate.hpp"

#include <algorithm>
#include <cmath>

#include "numeric/directed_rounding.hpp"

namespace unionbound {

double readingError(double p) {
    const double size = std::fabs(p);
    // Adjacent doubles differ by an exactly representable spacing; the
    // decimal lies within half of the larger spacing around p.
    return nextUp(size) - size;
}

namespace {

// The largest whole number of binary places with which every partial sum
// of the multipliers' values, and the target, fit in 62 bits: their
// magnitudes sum to less than 2^(61 − places).
int placesFor(std::span<const double> y, double target) {
    double norm = addUp(std::fabs(target), 1.0);
    for (double value : y) {
        norm = addUp(norm, std::fabs(value));
    }
    int exponent = 0;
    std::frexp(norm, &exponent);  // norm < 2^exponent
    return 61 - exponent;
}

// The double just above or at a whole number (exact below 2^53).
double upFromWhole(std::int64_t value) {
    const auto d = static_cast<double>(value);
    return static_cast<std::int64_t>(d) < value ? nextUp(d) : d;
}

}  // namespace

std::int32_t evaluateOnLattice(const OutcomeRows& rows, std::span<const double> y, double target,
                               std::vector<double>& proven, std::vector<std::int64_t>& values) {
    const int places = placesFor(y, target);
    proven.resize(y.size());
    values.assign(static_cast<std::size_t>(rows.outcomeCount()), 0);
    for (std::int32_t row = 0; row < rows.rowCount(); ++row) {
        // Rounded to the grid; a multiplier of 2^53 units or more is on it.
        const double units = std::nearbyint(std::ldexp(y[static_cast<std::size_t>(row)], places));
        proven[static_cast<std::size_t>(row)] = std::ldexp(units, -places);
        values[rows.maskOfRow(row)] = static_cast<std::int64_t>(units);
    }
    zetaTransform(std::span<std::int64_t>(values));
    return places;
}

namespace {

// The proof, with the marks of the outcomes with an intersection of
// probability 0 in scratch.marks where `floatZeroRows`.
MultiplierProof proveWithMarks(const OutcomeRows& rows, std::span<const double> y,
                               std::span<const double> prob, MultiplierSide side, double target,
                               double slack, bool floatZeroRows, ProofScratch& scratch) {
    MultiplierProof proof;
    for (double value : y) {
        if (!std::isfinite(value)) {
            return proof;
        }
    }
    if (!std::isfinite(target)) {
        return proof;
    }
    const bool atLeast = side == MultiplierSide::atLeast;
    // The multipliers on a grid of 2^−places, whose values F the zeta
    // transform sums exactly in whole units of the grid.
    std::vector<double>& proven = scratch.multipliers;
    const int places = evaluateOnLattice(rows, y, target, proven, scratch.values);
    scratch.places = places;
    // The target in whole units, rounded against the multipliers.
    const double scaledTarget = std::ldexp(target, places);
    const auto t = static_cast<std::int64_t>(atLeast ? std::ceil(scaledTarget)
                                                     : std::floor(scaledTarget));
    // The largest violations, t − F for atLeast, F − t for atMost, exact;
    // apart for the outcomes with an intersection of probability 0.
    std::int64_t violation = 0;
    std::int64_t zeroViolation = 0;
    const std::vector<std::int64_t>& values = scratch.values;
    for (std::size_t omega = 0; omega < values.size(); ++omega) {
        const std::int64_t tOmega = omega == 0 ? 0 : t;
        const std::int64_t v = atLeast ? tOmega - values[omega] : values[omega] - tOmega;
        std::int64_t& largest =
            floatZeroRows && scratch.marks[omega] != 0 ? zeroViolation : violation;
        largest = std::max(largest, v);
    }
    const double shift = std::ldexp(upFromWhole(violation), -places);
    const double zeroShift = std::ldexp(upFromWhole(zeroViolation), -places);
    // Σ y_S·p_S and Σ |y_S|·(error of p_S), both rounded outward.
    double bound = atLeast ? addUp(proven[0], shift) : addDown(proven[0], -shift);
    double error = 0.0;
    for (std::size_t row = 1; row < proven.size(); ++row) {
        const double p = prob[row - 1];
        double multiplier = proven[row];
        if (floatZeroRows && p == 0.0) {
            multiplier = atLeast ? addUp(multiplier, zeroShift) : addDown(multiplier, -zeroShift);
        }
        bound =
            atLeast ? addUp(bound, mulUp(multiplier, p)) : addDown(bound, mulDown(multiplier, p));
        error = addUp(error, mulUp(std::fabs(multiplier), addUp(readingError(p), slack)));
    }
    bound = atLeast ? addUp(bound, error) : addDown(bound, -error);
    if (!std::isfinite(bound) || !std::isfinite(shift) || !std::isfinite(zeroShift)) {
        return proof;
    }
    proof.valid = true;
    proof.bound = bound;
    proof.shift = shift;
    return proof;
}

}  // namespace

MultiplierProof proveMultipliers(const OutcomeRows& rows, std::span<const double> y,
                                 std::span<const double> prob, MultiplierSide side, double target,
                                 double slack, bool floatZeroRows, ProofScratch& scratch) {
    if (floatZeroRows) {
        markOutcomesOfZeroIntersections(rows, prob, scratch.marks);
    }
    return proveWithMarks(rows, y, prob, side, target, slack, floatZeroRows, scratch);
}

MultiplierProver::MultiplierProver(const OutcomeRows& rows, std::span<const double> prob)
    : rows_(rows), prob_(prob) {
    markOutcomesOfZeroIntersections(rows, prob, scratch_.marks);
}

MultiplierProof MultiplierProver::prove(std::span<const double> y, MultiplierSide side,
                                        double target, double slack, bool floatZeroRows) {
    return proveWithMarks(rows_, y, prob_, side, target, slack, floatZeroRows, scratch_);
}

}  // namespace unionbound
