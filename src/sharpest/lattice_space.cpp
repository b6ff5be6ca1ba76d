#include "sharpest/lattice_space.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

namespace unionbound {

namespace {

// An outcome joins the working set when its violation exceeds this: smaller
// violations are rounding in the duals, and the proof moves row 0 by
// whatever is left.
constexpr double kPricingTolerance = 1e-11;

}  // namespace

LatticeSpace::LatticeSpace(const OutcomeRows& rows, const RealVector& prob,
                           MultiplierProver& prover)
    : rows_(rows), prover_(prover) {
    targets_.push_back(1.0);
    targets_.insert(targets_.end(), prob.begin(), prob.end());
    for (std::int32_t row = 0; row < rows.rowCount(); ++row) {
        sizes_.push_back(std::popcount(rows.maskOfRow(row)));
    }
    // Outcomes are ranked by their violation over the length of their
    // column (the square root of its nonzeros), so that a large outcome,
    // whose price sums many duals, does not win by its size alone.
    std::vector<std::int32_t> rowsOfK;
    for (std::int32_t k = 0; k <= rows.events(); ++k) {
        rows.rowsOfOutcome((OutcomeMask{1} << k) - 1, rowsOfK);
        scale_.push_back(1.0 / std::sqrt(static_cast<double>(rowsOfK.size())));
    }
}

std::vector<std::int32_t> LatticeSpace::eventsOfRow(std::int32_t row) const {
    std::vector<std::int32_t> events;
    for (OutcomeMask rest = rows_.maskOfRow(row); rest != 0; rest &= rest - 1) {
        events.push_back(std::countr_zero(rest));
    }
    return events;
}

std::vector<OutcomeId> LatticeSpace::firstOutcomes() {
    std::vector<OutcomeId> first;
    const std::vector<std::uint8_t>& marks = prover_.zeroMarks();
    for (std::int32_t row = 0; row < rows_.rowCount(); ++row) {
        if (marks[rows_.maskOfRow(row)] == 0) {
            first.push_back(rows_.maskOfRow(row));
        }
    }
    return first;
}

void LatticeSpace::rowsOf(OutcomeId outcome, std::vector<std::int32_t>& rows) const {
    rows_.rowsOfOutcome(static_cast<OutcomeMask>(outcome), rows);
}

bool LatticeSpace::admitEveryOutcome() {
    everyOutcome_ = true;
    return true;
}

MultiplierProof LatticeSpace::prove(std::span<const double> y, MultiplierSide side, double target,
                                    double slack) {
    // The repair of outcomes with an intersection of probability 0 through
    // its multiplier holds only for data that are 0 there exactly.
    return prover_.prove(y, side, target, slack, slack == 0.0);
}

Pricing LatticeSpace::price(std::span<const double> duals, SharpestStage stage, std::int32_t most,
                            const std::function<bool(OutcomeId)>& inWorkingSet) {
    // The violation of every outcome in whole units of the prover's grid:
    // on the sides the proof's t − F (upper; the LP's duals negated) or
    // F − t (lower); when checking the data, F, whose reduced cost is −F.
    Pricing pricing;
    const bool checking = stage == SharpestStage::consistency;
    const bool upper = stage == SharpestStage::upper;
    std::int64_t target = 0;
    if (checking) {
        prover_.evaluate(duals);
    } else {
        std::vector<double> y(duals.begin(), duals.end());
        if (upper) {
            for (double& value : y) {
                value = -value;
            }
        }
        pricing.proof =
            prove(y, upper ? MultiplierSide::atLeast : MultiplierSide::atMost, 1.0, 0.0);
        target = std::int64_t{1} << prover_.places();
    }
    const std::vector<std::int64_t>& values = prover_.values();
    const std::vector<std::uint8_t>& marks = prover_.zeroMarks();
    const int places = prover_.places();
    const auto tolerance = static_cast<std::int64_t>(std::ldexp(kPricingTolerance, places));
    // A max-heap on the scaled violation, negated, keeps the `most` largest.
    std::vector<std::pair<double, OutcomeMask>> heap;
    std::int64_t largest = 0;
    for (std::size_t w = 0; w < values.size(); ++w) {
        if (marks[w] != 0 && !everyOutcome_) {
            continue;
        }
        const std::int64_t t = w == 0 ? 0 : target;
        const std::int64_t violation =
            checking ? values[w] : (upper ? t - values[w] : values[w] - t);
        largest = std::max(largest, violation);
        if (violation <= tolerance) {
            continue;
        }
        const auto outcome = static_cast<OutcomeMask>(w);
        const std::pair<double, OutcomeMask> entry{
            -static_cast<double>(violation) *
                scale_[static_cast<std::size_t>(std::popcount(outcome))],
            outcome};
        if (heap.size() == static_cast<std::size_t>(most) && !(entry < heap.front())) {
            continue;
        }
        if (inWorkingSet(outcome)) {
            continue;
        }
        if (heap.size() < static_cast<std::size_t>(most)) {
            heap.push_back(entry);
            std::push_heap(heap.begin(), heap.end());
        } else {
            std::pop_heap(heap.begin(), heap.end());
            heap.back() = entry;
            std::push_heap(heap.begin(), heap.end());
        }
    }
    pricing.largestViolation = std::ldexp(static_cast<double>(largest), -places);
    std::sort_heap(heap.begin(), heap.end());
    for (const auto& entry : heap) {
        pricing.violated.push_back(entry.second);
    }
    return pricing;
}

}  // namespace unionbound
