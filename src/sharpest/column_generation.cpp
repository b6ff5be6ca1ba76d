#include "sharpest/column_generation.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

#include "sharpest/memory_plan.hpp"

namespace unionbound {

namespace {

// An outcome joins the working set when its reduced cost is below minus
// this: smaller violations are rounding in the duals, and the proven pricing
// moves row 0 by whatever is left.
constexpr double kPricingTolerance = 1e-11;

}  // namespace

ColumnGeneration::ColumnGeneration(const OutcomeRows& rows, const RealVector& prob,
                                   MultiplierProver& prover, lp::SolverFactory makeSolver,
                                   std::int32_t perRound)
    : rows_(rows), prob_(prob), prover_(prover) {
    solver_ = makeSolver ? makeSolver() : lp::makeSolver();
    const std::int32_t r = rows_.rowCount();
    perRound_ = perRound > 0 ? perRound : std::max<std::int32_t>(50, r / 2);
    // Outcomes are ranked by their violation over the length of their
    // column (the square root of its nonzeros), so that a large outcome,
    // whose price sums many duals, does not win by its size alone.
    std::vector<std::int32_t> rowsOfK;
    for (std::int32_t k = 0; k <= rows_.events(); ++k) {
        rows_.rowsOfOutcome((OutcomeMask{1} << k) - 1, rowsOfK);
        scale_.push_back(1.0 / std::sqrt(static_cast<double>(rowsOfK.size())));
    }
    state_ = prover.zeroMarks();  // kExcluded where marked, kMayJoin elsewhere
}

double ColumnGeneration::costOf(OutcomeMask outcome) const {
    // 0 when checking the data; −1 for an outcome with an event when
    // maximising the union (the LP minimises), +1 when minimising it.
    if (outcome == 0 || stage_ == SharpestStage::consistency) {
        return 0.0;
    }
    return stage_ == SharpestStage::upper ? -1.0 : 1.0;
}

void ColumnGeneration::setUpRows() {
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
}

void ColumnGeneration::start() {
    setUpRows();
    std::vector<OutcomeMask> first;
    for (std::int32_t row = 0; row < rows_.rowCount(); ++row) {
        if (state_[rows_.maskOfRow(row)] == kMayJoin) {
            first.push_back(rows_.maskOfRow(row));
        }
    }
    addOutcomes(first, true);
}

void ColumnGeneration::include(const std::vector<OutcomeMask>& outcomes) {
    std::vector<OutcomeMask> fresh;
    for (OutcomeMask outcome : outcomes) {
        if (state_[outcome] == kMayJoin) {
            state_[outcome] = kInWorkingSet;  // also keeps repeats out
            fresh.push_back(outcome);
        }
    }
    addOutcomes(fresh, true);
}

void ColumnGeneration::restart(const lp::SolverFactory& makeSolver) {
    const std::vector<OutcomeMask> kept = std::move(outcomes_);
    outcomes_.clear();
    solver_ = makeSolver ? makeSolver() : lp::makeSolver();
    setUpRows();
    addOutcomes(kept, false);
    setCosts();
}

void ColumnGeneration::setCosts() {
    const bool checking = stage_ == SharpestStage::consistency;
    for (std::int32_t column = 0; column < firstOutcomeColumn(); ++column) {
        solver_->setColumnBounds(column, 0.0, checking ? lp::kInfinity : 0.0);
        solver_->setColumnCost(column, checking ? 1.0 : 0.0);
    }
    for (std::size_t k = 0; k < outcomes_.size(); ++k) {
        solver_->setColumnCost(firstOutcomeColumn() + static_cast<std::int32_t>(k),
                               costOf(outcomes_[k]));
    }
}

void ColumnGeneration::admitEveryOutcome() {
    for (std::uint8_t& state : state_) {
        if (state == kExcluded) {
            state = kMayJoin;
        }
    }
}

void ColumnGeneration::addOutcomes(const std::vector<OutcomeMask>& outcomes, bool remember) {
    std::vector<lp::Column> columns;
    columns.reserve(outcomes.size());
    for (OutcomeMask outcome : outcomes) {
        lp::Column column;
        column.cost = costOf(outcome);
        rows_.rowsOfOutcome(outcome, column.rows);
        column.values.assign(column.rows.size(), 1.0);
        columns.push_back(std::move(column));
        if (remember) {
            state_[outcome] = kInWorkingSet;
        }
        outcomes_.push_back(outcome);
    }
    if (!columns.empty()) {
        solver_->addColumns(columns);
    }
}

GenerationEnd ColumnGeneration::run(SharpestStage stage, std::int32_t roundLimit,
                                    const std::function<bool(const GenerationRound&)>& visit) {
    if (stage != stage_) {
        stage_ = stage;
        setCosts();
    }
    for (;;) {
        if (rounds_ >= roundLimit) {
            why_ = "the column generation did not end within " + std::to_string(roundLimit) +
                   " rounds, in " + stageName(stage);
            return GenerationEnd::roundLimit;
        }
        ++rounds_;
        last_ = solver_->solve();
        if (last_.status != lp::Status::optimal) {
            why_ = "the LP solver " + lp::describe(last_.status) + " in round " +
                   std::to_string(rounds_) + ", in " + stageName(stage);
            return GenerationEnd::failed;
        }
        if (last_.rowDuals.size() != static_cast<std::size_t>(rows_.rowCount()) ||
            !std::isfinite(last_.objective) ||
            !std::all_of(last_.rowDuals.begin(), last_.rowDuals.end(),
                         [](double y) { return std::isfinite(y); })) {
            why_ = "the LP solver gave no usable duals in round " + std::to_string(rounds_) +
                   ", in " + stageName(stage);
            return GenerationEnd::failed;
        }
        GenerationRound round;
        round.round = rounds_;
        round.result = &last_;
        const std::vector<OutcomeMask> violated = price(last_.rowDuals, round);
        if (workingSet() + static_cast<std::int64_t>(violated.size()) >
            plannedWorkingSet(rows_.rowCount())) {
            why_ = "the working set of outcomes outgrew the memory plan (" +
                   std::to_string(plannedWorkingSet(rows_.rowCount())) + " outcomes), in " +
                   stageName(stage);
            return GenerationEnd::memoryPlan;
        }
        addOutcomes(violated, true);
        round.added = static_cast<std::int32_t>(violated.size());
        round.workingSet = workingSet();
        const bool goOn = !visit || visit(round);
        if (violated.empty()) {
            return GenerationEnd::solved;
        }
        if (!goOn) {
            return GenerationEnd::stopped;
        }
    }
}

std::vector<OutcomeMask> ColumnGeneration::price(const std::vector<double>& duals,
                                                 GenerationRound& round) {
    // The violation of every outcome in whole units of the prover's grid:
    // on the sides the proof's t − F (upper; the LP's duals negated) or
    // F − t (lower); when checking the data, F, whose reduced cost is −F.
    const bool checking = stage_ == SharpestStage::consistency;
    const bool upper = stage_ == SharpestStage::upper;
    std::int64_t target = 0;
    if (checking) {
        prover_.evaluate(duals);
    } else {
        std::vector<double> y = duals;
        if (upper) {
            for (double& value : y) {
                value = -value;
            }
        }
        round.proof = prover_.prove(y, upper ? MultiplierSide::atLeast : MultiplierSide::atMost,
                                    1.0, 0.0, true);
        target = std::int64_t{1} << prover_.places();
    }
    const std::vector<std::int64_t>& values = prover_.values();
    const int places = prover_.places();
    const auto tolerance = static_cast<std::int64_t>(std::ldexp(kPricingTolerance, places));
    // A max-heap on the scaled violation keeps the perRound_ largest, negated.
    std::vector<std::pair<double, OutcomeMask>> heap;
    std::int64_t largest = 0;
    for (std::size_t w = 0; w < values.size(); ++w) {
        if (state_[w] == kExcluded) {
            continue;
        }
        const std::int64_t t = w == 0 ? 0 : target;
        const std::int64_t violation =
            checking ? values[w] : (upper ? t - values[w] : values[w] - t);
        largest = std::max(largest, violation);
        if (violation <= tolerance || state_[w] != kMayJoin) {
            continue;
        }
        const auto outcome = static_cast<OutcomeMask>(w);
        const std::pair<double, OutcomeMask> entry{
            -static_cast<double>(violation) *
                scale_[static_cast<std::size_t>(std::popcount(outcome))],
            outcome};
        if (heap.size() < static_cast<std::size_t>(perRound_)) {
            heap.push_back(entry);
            std::push_heap(heap.begin(), heap.end());
        } else if (entry < heap.front()) {
            std::pop_heap(heap.begin(), heap.end());
            heap.back() = entry;
            std::push_heap(heap.begin(), heap.end());
        }
    }
    round.largestViolation = std::ldexp(static_cast<double>(largest), -places);
    std::sort_heap(heap.begin(), heap.end());
    std::vector<OutcomeMask> chosen;
    chosen.reserve(heap.size());
    for (const auto& entry : heap) {
        chosen.push_back(entry.second);
    }
    return chosen;
}

}  // namespace unionbound
