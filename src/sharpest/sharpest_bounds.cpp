#include "sharpest/sharpest_bounds.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>

#include "moments/subsets.hpp"
#include "sharpest/certificate.hpp"
#include "sharpest/memory_plan.hpp"
#include "sharpest/outcome_lattice.hpp"

namespace unionbound {

namespace {

// An outcome joins the working set when its reduced cost is below minus
// this: smaller violations are rounding in the duals, and the proven pricing
// moves row 0 by whatever is left.
constexpr double kPricingTolerance = 1e-11;
// A proven bound is given only when it lies this close to the LP's claimed
// optimum: farther off, the duals do not prove what the solver says.
constexpr double kTightness = 1e-9;
// A least total deviation from the data above this, as the LP claims it,
// with no proven inconsistency, leaves no bound to give. (Smaller claims are
// within the LP library's own tolerances, and any bound proven then holds
// for the data as they are.)
constexpr double kConsistentDeviation = 1e-9;

std::string format(const char* pattern, double value) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}


// The column generation on one working set, shared by the three stages.
class ColumnGeneration {
  public:
    ColumnGeneration(std::int32_t n, std::int32_t m, const RealVector& prob,
                     const SharpestOptions& options)
        : rows_(n, m), prob_(prob), options_(options) {
        solver_ = options.solverFactory ? options.solverFactory() : lp::makeSolver();
        const std::int32_t r = rows_.rowCount();
        perRound_ = options.columnsPerRound > 0 ? options.columnsPerRound
                                                : std::max<std::int32_t>(50, r / 2);
        // Outcomes are ranked by their violation over the length of their
        // column (the square root of its nonzeros), so that a large outcome,
        // whose price sums many duals, does not win by its size alone.
        for (std::int32_t k = 0; k <= n; ++k) {
            std::vector<std::int32_t> rowsOfK;
            rows_.rowsOfOutcome((OutcomeMask{1} << k) - 1, rowsOfK);
            scale_.push_back(1.0 / std::sqrt(static_cast<double>(rowsOfK.size())));
        }
        markOutcomesOfZeroIntersections(rows_, prob_, state_);
    }

    // Sets up the rows, the deviation columns and the first outcomes.
    void start() {
        lp::Rows lpRows;
        lpRows.lower.push_back(1.0);
        lpRows.upper.push_back(1.0);
        for (double p : prob_) {
            lpRows.lower.push_back(p);
            lpRows.upper.push_back(p);
        }
        solver_->setRows(lpRows);
        std::vector<lp::Column> deviations;
        for (std::int32_t row = 0; row < rows_.rowCount(); ++row) {
            for (double sign : {1.0, -1.0}) {
                lp::Column column;
                column.cost = 1.0;
                column.rows = {row};
                column.values = {sign};
                deviations.push_back(std::move(column));
            }
        }
        solver_->addColumns(deviations);
        // The outcomes of at most m events that may have probability: one
        // per row of a positive intersection, a triangular system (each
        // intersection's own outcome), so that every row is met at once.
        std::vector<OutcomeMask> first;
        for (std::int32_t row = 0; row < rows_.rowCount(); ++row) {
            if (state_[rows_.maskOfRow(row)] == kMayJoin) {
                first.push_back(rows_.maskOfRow(row));
            }
        }
        addOutcomes(first);
    }

    // Column generation of one stage until no outcome is violated; the
    // final LP result, or nothing with `why_` set.
    std::optional<lp::Result> run(SharpestStage stage, SharpestSideReport& report) {
        stage_ = stage;
        if (stage != SharpestStage::consistency) {
            if (!deviationsFixed_) {
                for (std::int32_t column = 0; column < 2 * rows_.rowCount(); ++column) {
                    solver_->setColumnBounds(column, 0.0, 0.0);
                    solver_->setColumnCost(column, 0.0);
                }
                deviationsFixed_ = true;
            }
            for (std::size_t k = 0; k < outcomes_.size(); ++k) {
                solver_->setColumnCost(firstOutcomeColumn() + static_cast<std::int32_t>(k),
                                       costOf(outcomes_[k]));
            }
        }
        for (;;) {
            if (rounds_ >= options_.roundLimit) {
                why_ = "the column generation did not end within " +
                       std::to_string(options_.roundLimit) + " rounds, in " + stageName(stage);
                return std::nullopt;
            }
            ++rounds_;
            ++report.rounds;
            lp::Result result = solver_->solve();
            if (result.status != lp::Status::optimal) {
                why_ = "the LP solver " + lp::describe(result.status) + " in round " +
                       std::to_string(rounds_) + ", in " + stageName(stage);
                return std::nullopt;
            }
            if (result.rowDuals.size() != static_cast<std::size_t>(rows_.rowCount()) ||
                !std::isfinite(result.objective)) {
                why_ = "the LP solver gave no usable duals in round " + std::to_string(rounds_) +
                       ", in " + stageName(stage);
                return std::nullopt;
            }
            report.solverValue = result.objective;
            SharpestRound round;
            round.stage = stage;
            round.round = rounds_;
            const std::vector<OutcomeMask> violated =
                price(result.rowDuals, round.largestViolation);
            if (workingSet() + static_cast<std::int64_t>(violated.size()) >
                plannedWorkingSet(rows_.rowCount())) {
                why_ = "the working set of outcomes outgrew the memory plan (" +
                       std::to_string(plannedWorkingSet(rows_.rowCount())) + " outcomes), in " +
                       stageName(stage);
                return std::nullopt;
            }
            addOutcomes(violated);
            round.added = static_cast<std::int32_t>(violated.size());
            round.workingSet = static_cast<std::int64_t>(outcomes_.size());
            if (options_.progress) {
                options_.progress(round);
            }
            if (violated.empty()) {
                return result;
            }
        }
    }

    // Lets the outcomes with an intersection of probability 0 join too (for
    // data that miss every distribution: they may then lessen the miss).
    void admitEveryOutcome() {
        for (std::uint8_t& state : state_) {
            if (state == kExcluded) {
                state = kMayJoin;
            }
        }
    }

    const OutcomeRows& rows() const { return rows_; }
    const std::string& why() const { return why_; }
    std::int32_t rounds() const { return rounds_; }
    std::int64_t workingSet() const { return static_cast<std::int64_t>(outcomes_.size()); }
    ProofScratch& scratch() { return scratch_; }

  private:
    std::int32_t firstOutcomeColumn() const { return 2 * rows_.rowCount(); }

    // The cost of an outcome's column in the current stage: 0 when checking
    // the data; −1 for an outcome with an event when maximising the union
    // (the LP minimises), +1 when minimising it.
    double costOf(OutcomeMask outcome) const {
        if (outcome == 0 || stage_ == SharpestStage::consistency) {
            return 0.0;
        }
        return stage_ == SharpestStage::upper ? -1.0 : 1.0;
    }

    void addOutcomes(const std::vector<OutcomeMask>& outcomes) {
        std::vector<lp::Column> columns;
        columns.reserve(outcomes.size());
        for (OutcomeMask outcome : outcomes) {
            lp::Column column;
            column.cost = costOf(outcome);
            rows_.rowsOfOutcome(outcome, column.rows);
            column.values.assign(column.rows.size(), 1.0);
            columns.push_back(std::move(column));
            state_[outcome] = kInWorkingSet;
            outcomes_.push_back(outcome);
        }
        if (!columns.empty()) {
            solver_->addColumns(columns);
        }
    }

    // Prices every outcome: its reduced cost c(ω) − F(ω), F the zeta
    // transform of the duals. Returns the most violated outcomes that may
    // join (at most perRound_, most violated first) and sets `largest` to
    // the largest violation over all outcomes that are not excluded.
    std::vector<OutcomeMask> price(const std::vector<double>& duals, double& largest) {
        std::vector<double>& prices = scratch_.prices;
        placeOnLattice(rows_, duals, prices);
        zetaTransform(prices);
        // A max-heap on the reduced cost keeps the perRound_ most negative.
        std::vector<std::pair<double, OutcomeMask>> heap;
        largest = 0.0;
        const double costWithEvents = costOf(1);
        for (std::size_t w = 0; w < prices.size(); ++w) {
            const auto outcome = static_cast<OutcomeMask>(w);
            if (state_[w] == kExcluded) {
                continue;
            }
            const double reduced = (w == 0 ? 0.0 : costWithEvents) - prices[w];
            if (!(reduced >= -kPricingTolerance)) {
                largest = std::max(largest, std::isnan(reduced) ? HUGE_VAL : -reduced);
                if (state_[w] != kMayJoin || std::isnan(reduced)) {
                    continue;
                }
                const std::pair<double, OutcomeMask> entry{
                    reduced * scale_[static_cast<std::size_t>(std::popcount(outcome))], outcome};
                if (heap.size() < static_cast<std::size_t>(perRound_)) {
                    heap.push_back(entry);
                    std::push_heap(heap.begin(), heap.end());
                } else if (entry < heap.front()) {
                    std::pop_heap(heap.begin(), heap.end());
                    heap.back() = entry;
                    std::push_heap(heap.begin(), heap.end());
                }
            } else {
                largest = std::max(largest, -reduced);
            }
        }
        std::sort_heap(heap.begin(), heap.end());
        std::vector<OutcomeMask> chosen;
        for (const auto& entry : heap) {
            chosen.push_back(entry.second);
        }
        return chosen;
    }

    OutcomeRows rows_;
    const RealVector& prob_;
    const SharpestOptions& options_;
    std::unique_ptr<lp::Solver> solver_;
    std::int32_t perRound_ = 0;
    std::vector<OutcomeMask> outcomes_;  // by column, after the deviation columns
    // What each outcome is to the column generation.
    static constexpr std::uint8_t kMayJoin = 0;
    static constexpr std::uint8_t kExcluded = 1;  // contains an intersection of probability 0
    static constexpr std::uint8_t kInWorkingSet = 2;
    std::vector<std::uint8_t> state_;
    ProofScratch scratch_;
    std::vector<double> scale_;  // by the number of events of an outcome
    SharpestStage stage_ = SharpestStage::consistency;
    bool deviationsFixed_ = false;
    std::int32_t rounds_ = 0;
    std::string why_;
};

std::vector<double> negated(const std::vector<double>& values) {
    std::vector<double> result(values.size());
    std::transform(values.begin(), values.end(), result.begin(), [](double v) { return -v; });
    return result;
}

// Proves one side from the final duals of its stage; `claim` is the solver's
// optimum of the probability of the union.
ProvenBound proveSide(ColumnGeneration& generation, const lp::Result& result,
                      const RealVector& prob, SharpestStage stage, SharpestSideReport& report) {
    const bool upper = stage == SharpestStage::upper;
    // The LP minimises −P(union) for the upper side, so its duals have
    // F ≤ −1 on outcomes with events; their negation has F ≥ 1.
    const std::vector<double> y = upper ? negated(result.rowDuals) : result.rowDuals;
    const double claim = upper ? -result.objective : result.objective;
    report.solverValue = claim;
    const MultiplierProof proof = proveMultipliers(
        generation.rows(), y, prob, upper ? MultiplierSide::atLeast : MultiplierSide::atMost, 1.0,
        0.0, true, generation.scratch());
    ProvenBound bound;
    if (!proof.valid) {
        bound.why = std::string("the LP solver's duals for ") + stageName(stage) +
                    " are not finite, so they prove nothing";
        return bound;
    }
    report.certifiedValue = proof.bound;
    report.shift = proof.shift;
    if (!(std::fabs(proof.bound - claim) <= kTightness)) {
        bound.why = std::string("the LP solver's duals for ") + stageName(stage) + " prove " +
                    format("%.15g", proof.bound) + ", not its optimum " + format("%.15g", claim) +
                    " to 1e-9";
        return bound;
    }
    bound.value = upper ? std::min(1.0, proof.bound) : std::max(0.0, proof.bound);
    return bound;
}

void noValues(SharpestRun& run, const std::string& why) {
    run.interval.upper.why = why;
    run.interval.lower.why = why;
}

}  // namespace

const char* stageName(SharpestStage stage) {
    switch (stage) {
        case SharpestStage::consistency:
            return "the check of the data";
        case SharpestStage::upper:
            return "the largest probability of the union";
        case SharpestStage::lower:
            return "the smallest probability of the union";
    }
    return "";
}

SharpestRun sharpestBoundsInDetail(std::int32_t n, std::int32_t m, const RealVector& prob,
                                   const SharpestOptions& options) {
    SharpestRun run;
    if (n < 1 || m < 1 || m > n) {
        noValues(run, "the sharpest bounds need n ≥ 1 and 1 ≤ m ≤ n (n = " + std::to_string(n) +
                          ", m = " + std::to_string(m) + ")");
        return run;
    }
    if (n > largestSharpestEvents(m)) {
        noValues(run, "n = " + std::to_string(n) +
                          " is too many events: " + describeSharpestMemoryPlan(m));
        return run;
    }
    if (static_cast<std::int64_t>(prob.size()) != intersectionCount(n, m)) {
        noValues(run, "the sharpest bounds for n = " + std::to_string(n) + ", m = " +
                          std::to_string(m) + " need " + std::to_string(intersectionCount(n, m)) +
                          " probabilities, not " + std::to_string(prob.size()));
        return run;
    }
    for (std::size_t k = 0; k < prob.size(); ++k) {
        if (!std::isfinite(prob[k])) {
            noValues(run, "probability " + std::to_string(k + 1) + " is not a finite number");
            return run;
        }
    }

    ColumnGeneration generation(n, m, prob, options);
    generation.start();
    const auto finish = [&]() {
        run.rounds = generation.rounds();
        run.workingSet = generation.workingSet();
        return run;
    };

    // Are the data consistent? The least total deviation Σ|Ax − b| over the
    // distributions; its duals z have F ≤ 0 everywhere, so −z is a Farkas
    // candidate: a combination of the rows that no distribution makes negative.
    // Outcomes with an intersection of probability 0 stay out at first: no
    // distribution with these data gives them probability.
    std::optional<lp::Result> check = generation.run(SharpestStage::consistency, run.consistency);
    if (check && check->objective > kConsistentDeviation) {
        generation.admitEveryOutcome();
        check = generation.run(SharpestStage::consistency, run.consistency);
    }
    if (!check) {
        noValues(run, generation.why());
        return finish();
    }
    if (check->objective > kConsistentDeviation) {
        const MultiplierProof farkas = proveMultipliers(
            generation.rows(), negated(check->rowDuals), prob, MultiplierSide::atLeast, 0.0,
            kRoundingOfTheData, false, generation.scratch());
        run.consistency.certifiedValue = farkas.bound;
        run.consistency.shift = farkas.shift;
        if (farkas.valid && farkas.bound < 0.0) {
            run.interval.inconsistent = true;
            run.interval.inconsistency =
                "no distribution of the " + std::to_string(n) +
                " events has intersection probabilities within 1e-9 of the given ones: a "
                "combination of them that no distribution makes negative is at most " +
                format("%.3g", farkas.bound) + " here";
            noValues(run, "the data are inconsistent");
            return finish();
        }
        noValues(run, "the LP finds the data off every distribution by " +
                          format("%.3g", check->objective) +
                          " in total, but no inconsistency beyond the 1e-9 allowed for rounding "
                          "could be proven");
        return finish();
    }

    for (SharpestStage stage : {SharpestStage::upper, SharpestStage::lower}) {
        const bool upper = stage == SharpestStage::upper;
        SharpestSideReport& report = upper ? run.upper : run.lower;
        ProvenBound& bound = upper ? run.interval.upper : run.interval.lower;
        const std::optional<lp::Result> result = generation.run(stage, report);
        if (!result) {
            bound.why = generation.why();
            continue;
        }
        bound = proveSide(generation, *result, prob, stage, report);
    }
    return finish();
}

ProvenInterval sharpestBounds(std::int32_t n, std::int32_t m, const RealVector& prob,
                              const SharpestOptions& options) {
    return sharpestBoundsInDetail(n, m, prob, options).interval;
}

WholeProblemClaim wholeProblemClaim(std::int32_t n, std::int32_t m, const RealVector& prob,
                                    const lp::SolverFactory& factory) {
    WholeProblemClaim claim;
    const OutcomeRows rows(n, m);
    auto solver = factory ? factory() : lp::makeSolver();
    lp::Rows lpRows{{1.0}, {1.0}};
    lpRows.lower.insert(lpRows.lower.end(), prob.begin(), prob.end());
    lpRows.upper.insert(lpRows.upper.end(), prob.begin(), prob.end());
    solver->setRows(lpRows);
    std::vector<lp::Column> columns(static_cast<std::size_t>(rows.outcomeCount()));
    for (std::size_t w = 0; w < columns.size(); ++w) {
        columns[w].cost = w == 0 ? 0.0 : -1.0;
        rows.rowsOfOutcome(static_cast<OutcomeMask>(w), columns[w].rows);
        columns[w].values.assign(columns[w].rows.size(), 1.0);
    }
    solver->addColumns(columns);
    const lp::Result largest = solver->solve();
    if (largest.status != lp::Status::optimal) {
        claim.why = "the largest: the LP solver " + lp::describe(largest.status);
        return claim;
    }
    for (std::int32_t column = 1; column < solver->columnCount(); ++column) {
        solver->setColumnCost(column, 1.0);
    }
    const lp::Result smallest = solver->solve();
    if (smallest.status != lp::Status::optimal) {
        claim.why = "the smallest: the LP solver " + lp::describe(smallest.status);
        return claim;
    }
    claim.ok = true;
    claim.largest = -largest.objective;
    claim.smallest = smallest.objective;
    return claim;
}

}  // namespace unionbound
