// Column generation for the full-data LP on the LP interface: the LP holds
// a working set of outcomes, every outcome of the lattice is priced from the
// LP's duals by a zeta transform, and the most violated outcomes join the
// working set until none is violated. Outcomes that contain an intersection
// of probability 0 never join (no distribution with the data gives them
// probability). Three problems are solved in turn on one working set: the
// least deviation from the data (a deviation column of each sign per row),
// which gives the sides a feasible start, then the largest and the smallest
// probability of the union.
//
// Its LP results are claims only; the driver proves what their duals show.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lp/lp_solver.hpp"
#include "numeric/types.hpp"
#include "sharpest/certificate.hpp"
#include "sharpest/outcome_lattice.hpp"
#include "sharpest/sharpest_records.hpp"

namespace unionbound {

// One round, as the driver sees it after the round's outcomes have joined.
struct GenerationRound {
    std::int32_t round = 0;  // from 1, over all stages and solvers
    const lp::Result* result = nullptr;  // this round's solve (duals in the LP's sign)
    double largestViolation = 0.0;       // over the outcomes that may have probability
    // On the sides: what this round's duals prove (their pricing is the proof's).
    MultiplierProof proof;
    std::int32_t added = 0;
    std::int64_t workingSet = 0;
};

enum class GenerationEnd {
    solved,      // no outcome is violated at the last solve
    failed,      // the solver did not end optimal, or gave no usable duals (see why())
    roundLimit,  // the rounds ran out
    memoryPlan,  // the working set would outgrow the memory plan
    stopped,     // the visitor said so
};

class ColumnGeneration {
  public:
    // `prover` gives the marks of the outcomes that cannot have probability,
    // and prices every outcome: on the sides, each round's pricing is the
    // proof of its duals. `perRound`: outcomes added per round at most (0
    // chooses from the size).
    ColumnGeneration(const OutcomeRows& rows, const RealVector& prob, MultiplierProver& prover,
                     lp::SolverFactory makeSolver, std::int32_t perRound);

    // Sets up the rows, the deviation columns and the first outcomes: one
    // per intersection of positive probability, whose columns form a
    // triangular system.
    void start();

    // Adds these outcomes (those that may have probability and are not in
    // the working set yet) to the working set.
    void include(const std::vector<OutcomeMask>& outcomes);

    // Column generation of one stage until no outcome is violated, the
    // total rounds reach `roundLimit`, or `visit` (may be empty) returns false.
    GenerationEnd run(SharpestStage stage, std::int32_t roundLimit,
                      const std::function<bool(const GenerationRound&)>& visit);

    // The same working set and costs on a fresh solver from `makeSolver`,
    // which solves from scratch at its next run.
    void restart(const lp::SolverFactory& makeSolver);

    // Lets the outcomes with an intersection of probability 0 join too (for
    // data that miss every distribution: they may then lessen the miss).
    void admitEveryOutcome();

    // The last solve (valid after a run that solved at least once).
    const lp::Result& last() const { return last_; }
    const std::string& why() const { return why_; }
    std::int32_t rounds() const { return rounds_; }
    std::int64_t workingSet() const { return static_cast<std::int64_t>(outcomes_.size()); }
    // The outcomes of the working set, in the order of their columns.
    const std::vector<OutcomeMask>& outcomes() const { return outcomes_; }

  private:
    std::int32_t firstOutcomeColumn() const { return 2 * rows_.rowCount(); }
    double costOf(OutcomeMask outcome) const;
    // The rows and the deviation columns on the current solver.
    void setUpRows();
    void setCosts();
    void addOutcomes(const std::vector<OutcomeMask>& outcomes, bool remember);
    std::vector<OutcomeMask> price(const std::vector<double>& duals, GenerationRound& round);

    const OutcomeRows& rows_;
    const RealVector& prob_;
    MultiplierProver& prover_;
    std::unique_ptr<lp::Solver> solver_;
    std::int32_t perRound_ = 0;
    std::vector<OutcomeMask> outcomes_;  // by column, after the deviation columns
    // What each outcome is to the column generation.
    static constexpr std::uint8_t kMayJoin = 0;
    static constexpr std::uint8_t kExcluded = 1;  // contains an intersection of probability 0
    static constexpr std::uint8_t kInWorkingSet = 2;
    std::vector<std::uint8_t> state_;
    std::vector<double> scale_;  // by the number of events of an outcome
    SharpestStage stage_ = SharpestStage::consistency;
    lp::Result last_;
    std::int32_t rounds_ = 0;
    std::string why_;
};

}  // namespace unionbound
