// Column generation for the full-data LP on the LP interface: the LP holds
// a working set of outcomes, every outcome of the space is priced from the
// LP's duals, and the most violated outcomes join the working set until
// none is violated. The largest and the smallest probability of the union
// are solved in turn on one working set, each row with a deviation column
// of each sign at a high cost, so that every LP has a solution from the
// first round: at the end the deviations are 0 where the data are
// consistent. Where they are not, the least deviation from the data (the
// third problem) says whether the data are inconsistent, and after it the
// deviations are held at 0.
//
// Its LP results are claims only; the driver proves what their duals show.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "lp/lp_solver.hpp"
#include "sharpest/outcome_space.hpp"
#include "sharpest/sharpest_records.hpp"

namespace unionbound {

// One round, as the driver sees it after the round's outcomes have joined.
struct GenerationRound {
    std::int32_t round = 0;              // from 1, over all stages and solvers
    const lp::Result* result = nullptr;  // this round's solve (duals in the LP's sign)
    // The largest violation over the outcomes that may have probability,
    // and on the sides what this round's duals prove.
    Pricing pricing;
    std::int32_t added = 0;
    std::int64_t workingSet = 0;
};

enum class GenerationEnd {
    solved,      // no outcome is violated at the last solve
    failed,      // the solver did not end optimal, or gave no usable duals (see why())
    roundLimit,  // the rounds ran out
    memoryPlan,  // the working set would outgrow the memory plan
    stopped,     // the visitor said so, or the deadline ended a solve
};

class ColumnGeneration {
  public:
    // `space` must outlive it. `perRound`: outcomes added per round at most
    // (0 chooses from the size).
    ColumnGeneration(OutcomeSpace& space, lp::SolverFactory makeSolver, std::int32_t perRound);

    // Sets up the rows, the deviation columns and the space's first outcomes.
    void start();

    // Adds these outcomes (those not in the working set yet) to it.
    void include(const std::vector<OutcomeId>& outcomes);

    // Column generation of one stage until no outcome is violated, the
    // total rounds reach `roundLimit`, or `visit` (may be empty) returns false.
    GenerationEnd run(SharpestStage stage, std::int32_t roundLimit,
                      const std::function<bool(const GenerationRound&)>& visit);

    // Each solve from now on ends by this time (none: no limit), and a run
    // whose solve it ends ends stopped.
    void setDeadline(std::optional<std::chrono::steady_clock::time_point> deadline) {
        deadline_ = deadline;
    }

    // The same working set and costs on a fresh solver from `makeSolver`,
    // which solves from scratch at its next run.
    void restart(const lp::SolverFactory& makeSolver);

    // The total deviation from the data in the last solve.
    double deviation() const;
    // Holds the deviations at 0 from now on (the data were found consistent).
    void closeDeviations();
    bool deviationsOpen() const { return deviationsOpen_; }

    // The last solve (valid after a run that solved at least once).
    const lp::Result& last() const { return last_; }
    const std::string& why() const { return why_; }
    std::int32_t rounds() const { return rounds_; }
    std::int64_t workingSet() const { return static_cast<std::int64_t>(outcomes_.size()); }
    // The outcomes of the working set, in the order of their columns.
    const std::vector<OutcomeId>& outcomes() const { return outcomes_; }
    // The first column of the outcomes (after the deviation columns).
    std::int32_t firstOutcomeColumn() const {
        return 2 * static_cast<std::int32_t>(space_.targets().size());
    }

  private:
    double costOf(OutcomeId outcome) const;
    void setCosts();
    // The rows and the deviation columns on the current solver.
    void setUpRows();
    void addOutcomes(const std::vector<OutcomeId>& outcomes);

    OutcomeSpace& space_;
    std::unique_ptr<lp::Solver> solver_;
    std::int32_t perRound_ = 0;
    std::vector<OutcomeId> outcomes_;  // by column, after the deviation columns
    std::unordered_set<OutcomeId> inWorkingSet_;
    SharpestStage stage_ = SharpestStage::upper;
    bool deviationsOpen_ = true;
    lp::Result last_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    std::int32_t rounds_ = 0;
    std::string why_;
};

}  // namespace unionbound
