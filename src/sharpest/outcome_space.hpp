// The outcomes that the full-data LP prices over and proves against, as the
// column generation and the driver of the sharpest bounds see them: its
// rows, the column of an outcome, the pricing of every outcome from a round's
// duals, and the proof of multipliers. Two spaces stand behind it: the
// lattice of all 2^n outcomes (lattice_space.hpp), and the outcomes as sets
// of events whose intersections are all positive, searched by branch and
// bound (event_sets.hpp).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "sharpest/certificate.hpp"
#include "sharpest/sharpest_records.hpp"

namespace unionbound {

// An outcome, as its space names it.
using OutcomeId = std::uint64_t;

// What one pricing found.
struct Pricing {
    // The most violated outcomes that may join (none in the working set),
    // most violated first.
    std::vector<OutcomeId> violated;
    // The largest violation over every outcome that may have probability;
    // an upper bound on it where the search was cut short.
    double largestViolation = 0.0;
    // On the sides: what the duals prove (the pricing is their proof).
    MultiplierProof proof;
    // False where the search was cut short: a longer one may find more.
    bool complete = true;
};

class OutcomeSpace {
  public:
    virtual ~OutcomeSpace() = default;

    // The rows of the LP: their targets (row 0, the total probability, has
    // 1) and the number of events of each intersection (0 for row 0).
    virtual const std::vector<double>& targets() const = 0;
    virtual const std::vector<std::int32_t>& rowSizes() const = 0;
    // The events of a row's intersection, increasing (none for row 0).
    virtual std::vector<std::int32_t> eventsOfRow(std::int32_t row) const = 0;
    // One outcome per row whose own intersection may have probability: the
    // columns of a triangular system that meets every row at once.
    virtual std::vector<OutcomeId> firstOutcomes() = 0;
    // The rows of an outcome's column (each entry 1), in increasing order.
    virtual void rowsOf(OutcomeId outcome, std::vector<std::int32_t>& rows) const = 0;
    // Whether the outcome is the one where no event occurs.
    virtual bool isEmpty(OutcomeId outcome) const = 0;

    // Prices the outcomes for `duals` (one per row, in the sign of an LP that
    // minimises) in `stage`: on the sides the violation of an outcome is
    // minus its reduced cost, in the check of the data its value Σ duals.
    // At most `most` outcomes, none that `inWorkingSet` names.
    virtual Pricing price(std::span<const double> duals, SharpestStage stage, std::int32_t most,
                          const std::function<bool(OutcomeId)>& inWorkingSet) = 0;

    // What multipliers y (one per row) prove, as proveMultipliers says.
    virtual MultiplierProof prove(std::span<const double> y, MultiplierSide side, double target,
                                  double slack) = 0;

    // Lets the outcomes that contain an intersection of probability 0 be
    // priced too (for data that miss every distribution); false where the
    // space cannot.
    virtual bool admitEveryOutcome() = 0;

    // Pricings and proofs from now on end by this time (none: no limit)
    // where their search can be cut short; cut short, what they prove
    // still holds, and a pricing says it was not complete.
    void setDeadline(std::optional<std::chrono::steady_clock::time_point> deadline) {
        deadline_ = deadline;
    }

  protected:
    std::optional<std::chrono::steady_clock::time_point> deadline_;
};

}  // namespace unionbound
