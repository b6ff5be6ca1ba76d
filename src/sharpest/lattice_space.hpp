// The lattice of all 2^n outcomes (n ≤ kLargestLatticeEvents): an outcome is
// the bit mask of its events, every intersection of 1 … m events is a row,
// and every outcome is priced, and every proof made, by one zeta transform
// in whole numbers (certificate.hpp). Outcomes that contain an intersection
// of probability 0 are not priced (no distribution with the data gives them
// probability); the proofs repair them through that intersection's
// multiplier.
#pragma once

#include <vector>

#include "numeric/types.hpp"
#include "sharpest/certificate.hpp"
#include "sharpest/outcome_lattice.hpp"
#include "sharpest/outcome_space.hpp"

namespace unionbound {

class LatticeSpace final : public OutcomeSpace {
  public:
    // `rows`, `prob` and `prover` (of the same rows and probabilities) must
    // outlive it; the prover's memory is the pricing's.
    LatticeSpace(const OutcomeRows& rows, const RealVector& prob, MultiplierProver& prover);

    const std::vector<double>& targets() const override { return targets_; }
    const std::vector<std::int32_t>& rowSizes() const override { return sizes_; }
    std::vector<std::int32_t> eventsOfRow(std::int32_t row) const override;
    std::vector<OutcomeId> firstOutcomes() override;
    void rowsOf(OutcomeId outcome, std::vector<std::int32_t>& rows) const override;
    bool isEmpty(OutcomeId outcome) const override { return outcome == 0; }
    Pricing price(std::span<const double> duals, SharpestStage stage, std::int32_t most,
                  const std::function<bool(OutcomeId)>& inWorkingSet) override;
    MultiplierProof prove(std::span<const double> y, MultiplierSide side, double target,
                          double slack) override;
    bool admitEveryOutcome() override;

  private:
    const OutcomeRows& rows_;
    MultiplierProver& prover_;
    std::vector<double> targets_;
    std::vector<std::int32_t> sizes_;
    std::vector<double> scale_;  // by the number of events of an outcome
    bool everyOutcome_ = false;
};

}  // namespace unionbound
