#include "sharpest/certificate.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

#include "numeric/directed_rounding.hpp"

namespace unionbound {

double readingError(double p) {
    const double size = std::fabs(p);
    // Adjacent doubles differ by an exactly representable spacing; the
    // decimal lies within half of the larger spacing around p.
    return nextUp(size) - size;
}

int gridPlaces(std::span<const double> y, double target) {
    // The largest whole number of binary places with which every partial
    // sum of the multipliers' values, and the target, fit in 62 bits: their
    // magnitudes sum to less than 2^(61 − places).
    double norm = addUp(std::fabs(target), 1.0);
    for (double value : y) {
        norm = addUp(norm, std::fabs(value));
    }
    int exponent = 0;
    if (std::isfinite(norm)) {
        std::frexp(norm, &exponent);  // norm < 2^exponent
    } else {
        // Every term is below 2^1024, so their sum is below 2^(1024 + bits
        // of their count): a grid on which no finite proof survives, but
        // whose sums still fit.
        exponent = 1024 + static_cast<int>(std::bit_width(y.size() + 2));
    }
    return 61 - exponent;
}

std::int64_t onGrid(double value, int places, double& proven) {
    // Rounded to the grid; a multiplier of 2^53 units or more is on it.
    const double units = std::nearbyint(std::ldexp(value, places));
    proven = std::ldexp(units, -places);
    return static_cast<std::int64_t>(units);
}

std::int64_t targetUnits(double target, int places, MultiplierSide side) {
    const double scaled = std::ldexp(target, places);
    return static_cast<std::int64_t>(side == MultiplierSide::atLeast ? std::ceil(scaled)
                                                                     : std::floor(scaled));
}

double fromUnitsUp(std::int64_t units, int places) {
    const auto d = static_cast<double>(units);
    return std::ldexp(static_cast<std::int64_t>(d) < units ? nextUp(d) : d, -places);
}

MultiplierProof finishProof(const ProofTerms& terms, MultiplierSide side) {
    MultiplierProof proof;
    const bool atLeast = side == MultiplierSide::atLeast;
    const std::span<const double> proven = terms.proven;
    // Σ y_S·p_S and Σ |y_S|·(error of p_S), both rounded outward.
    double bound = atLeast ? addUp(proven[0], terms.shift) : addDown(proven[0], -terms.shift);
    double error = 0.0;
    for (std::size_t row = 1; row < proven.size(); ++row) {
        const double p = terms.data[row - 1];
        double multiplier = proven[row];
        if (terms.moveZeroRows && p == 0.0) {
            multiplier = atLeast ? addUp(multiplier, terms.zeroShift)
                                 : addDown(multiplier, -terms.zeroShift);
        }
        bound =
            atLeast ? addUp(bound, mulUp(multiplier, p)) : addDown(bound, mulDown(multiplier, p));
        error = addUp(error, mulUp(std::fabs(multiplier), addUp(readingError(p), terms.slack)));
    }
    // Intersections of probability 0 left out of the rows: each with the
    // multiplier `absentMultiplier`, times a datum of 0 read exactly, within
    // its reading error and the slack.
    if (terms.absentRows > 0.0) {
        error = addUp(error, mulUp(mulUp(terms.absentRows, std::fabs(terms.absentMultiplier)),
                                   addUp(readingError(0.0), terms.slack)));
    }
    bound = atLeast ? addUp(bound, error) : addDown(bound, -error);
    if (!std::isfinite(bound) || !std::isfinite(terms.shift) || !std::isfinite(terms.zeroShift) ||
        !std::isfinite(terms.absentMultiplier)) {
        return proof;
    }
    proof.valid = true;
    proof.bound = bound;
    proof.shift = terms.shift;
    return proof;
}

std::int32_t evaluateOnLattice(const OutcomeRows& rows, std::span<const double> y, double target,
                               std::vector<double>& proven, std::vector<std::int64_t>& values,
                               const ParallelFor& parallel) {
    const int places = gridPlaces(y, target);
    proven.resize(y.size());
    values.assign(static_cast<std::size_t>(rows.outcomeCount()), 0);
    for (std::int32_t row = 0; row < rows.rowCount(); ++row) {
        values[rows.maskOfRow(row)] =
            onGrid(y[static_cast<std::size_t>(row)], places, proven[static_cast<std::size_t>(row)]);
    }
    zetaTransform(std::span<std::int64_t>(values), parallel);
    return places;
}

namespace {

// The proof, with the marks of the outcomes with an intersection of
// probability 0 in scratch.marks where `floatZeroRows`.
MultiplierProof proveWithMarks(const OutcomeRows& rows, std::span<const double> y,
                               std::span<const double> prob, MultiplierSide side, double target,
                               double slack, bool floatZeroRows, ProofScratch& scratch,
                               const ParallelFor& parallel = {}) {
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
    const int places = evaluateOnLattice(rows, y, target, proven, scratch.values, parallel);
    scratch.places = places;
    // The target in whole units, rounded against the multipliers.
    const std::int64_t t = targetUnits(target, places, side);
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
    ProofTerms terms;
    terms.proven = proven;
    terms.data = prob;
    terms.shift = fromUnitsUp(violation, places);
    terms.zeroShift = fromUnitsUp(zeroViolation, places);
    terms.moveZeroRows = floatZeroRows;
    terms.slack = slack;
    return finishProof(terms, side);
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

MultiplierProver::MultiplierProver(const OutcomeRows& rows, std::span<const double> prob,
                                   ParallelFor parallel)
    : rows_(rows), prob_(prob), parallel_(std::move(parallel)) {
    markOutcomesOfZeroIntersections(rows, prob, scratch_.marks);
}

MultiplierProof MultiplierProver::prove(std::span<const double> y, MultiplierSide side,
                                        double target, double slack, bool floatZeroRows) {
    return proveWithMarks(rows_, y, prob_, side, target, slack, floatZeroRows, scratch_, parallel_);
}

}  // namespace unionbound
