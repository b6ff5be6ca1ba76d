#include "sharpest/column_generation.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "sharpest/memory_plan.hpp"

namespace unionbound {

namespace {

// The cost of a unit of deviation from the data on the sides: far above
// any multiplier of a row at the optimum, so that the deviations end at 0
// wherever the data allow it.
constexpr double kDeviationCost = 10.0;

}  // namespace

ColumnGeneration::ColumnGeneration(OutcomeSpace& space, lp::SolverFactory makeSolver,
                                   std::int32_t perRound)
    : space_(space) {
    solver_ = makeSolver ? makeSolver() : lp::makeSolver();
    const auto r = static_cast<std::int32_t>(space_.targets().size());
    perRound_ = perRound > 0 ? perRound : std::max<std::int32_t>(50, r / 2);
}

double ColumnGeneration::costOf(OutcomeId outcome) const {
    // 0 when checking the data; −1 for an outcome with an event when
    // maximising the union (the LP minimises), +1 when minimising it.
    if (space_.isEmpty(outcome) || stage_ == SharpestStage::consistency) {
        return 0.0;
    }
    return stage_ == SharpestStage::upper ? -1.0 : 1.0;
}

double ColumnGeneration::deviation() const {
    double total = 0.0;
    const auto columns = static_cast<std::size_t>(firstOutcomeColumn());
    for (std::size_t column = 0; column < columns && column < last_.columnValues.size(); ++column) {
        total += std::fabs(last_.columnValues[column]);
    }
    return total;
}

void ColumnGeneration::closeDeviations() {
    deviationsOpen_ = false;
    setCosts();
}

void ColumnGeneration::setUpRows() {
    lp::Rows lpRows;
    lpRows.lower = space_.targets();
    lpRows.upper = space_.targets();
    solver_->setRows(lpRows);
    std::vector<lp::Column> deviations;
    for (std::int32_t row = 0; row < static_cast<std::int32_t>(lpRows.lower.size()); ++row) {
        for (double sign : {1.0, -1.0}) {
            lp::Column column;
            column.cost = kDeviationCost;
            column.rows = {row};
            column.values = {sign};
            deviations.push_back(std::move(column));
        }
    }
    solver_->addColumns(deviations);
}

void ColumnGeneration::start() {
    setUpRows();
    include(space_.firstOutcomes());
}

void ColumnGeneration::include(const std::vector<OutcomeId>& outcomes) {
    std::vector<OutcomeId> fresh;
    for (OutcomeId outcome : outcomes) {
        if (inWorkingSet_.insert(outcome).second) {
            fresh.push_back(outcome);
        }
    }
    addOutcomes(fresh);
}

void ColumnGeneration::restart(const lp::SolverFactory& makeSolver) {
    const std::vector<OutcomeId> kept = std::move(outcomes_);
    outcomes_.clear();
    solver_ = makeSolver ? makeSolver() : lp::makeSolver();
    setUpRows();
    addOutcomes(kept);
    setCosts();
}

void ColumnGeneration::setCosts() {
    const bool checking = stage_ == SharpestStage::consistency;
    for (std::int32_t column = 0; column < firstOutcomeColumn(); ++column) {
        solver_->setColumnBounds(column, 0.0, checking || deviationsOpen_ ? lp::kInfinity : 0.0);
        solver_->setColumnCost(column, checking ? 1.0 : (deviationsOpen_ ? kDeviationCost : 0.0));
    }
    for (std::size_t k = 0; k < outcomes_.size(); ++k) {
        solver_->setColumnCost(firstOutcomeColumn() + static_cast<std::int32_t>(k),
                               costOf(outcomes_[k]));
    }
}

void ColumnGeneration::addOutcomes(const std::vector<OutcomeId>& outcomes) {
    std::vector<lp::Column> columns;
    columns.reserve(outcomes.size());
    for (OutcomeId outcome : outcomes) {
        lp::Column column;
        column.cost = costOf(outcome);
        space_.rowsOf(outcome, column.rows);
        column.values.assign(column.rows.size(), 1.0);
        columns.push_back(std::move(column));
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
    const auto rows = static_cast<std::int32_t>(space_.targets().size());
    for (;;) {
        if (rounds_ >= roundLimit) {
            why_ = "the column generation did not end within " + std::to_string(roundLimit) +
                   " rounds, in " + stageName(stage);
            return GenerationEnd::roundLimit;
        }
        using Clock = std::chrono::steady_clock;
        if (deadline_) {
            const double left = std::chrono::duration<double>(*deadline_ - Clock::now()).count();
            if (left <= 0.0) {
                return GenerationEnd::stopped;
            }
            solver_->setSecondsLimit(left);
        }
        ++rounds_;
        last_ = solver_->solve();
        if (last_.status == lp::Status::stopped && deadline_ && Clock::now() >= *deadline_) {
            return GenerationEnd::stopped;
        }
        if (last_.status != lp::Status::optimal) {
            why_ = "the LP solver " + lp::describe(last_.status) + " in round " +
                   std::to_string(rounds_) + ", in " + stageName(stage);
            return GenerationEnd::failed;
        }
        if (last_.rowDuals.size() != static_cast<std::size_t>(rows) ||
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
        round.pricing = space_.price(last_.rowDuals, stage, perRound_, [this](OutcomeId outcome) {
            return inWorkingSet_.count(outcome) != 0;
        });
        const std::vector<OutcomeId>& violated = round.pricing.violated;
        if (workingSet() + static_cast<std::int64_t>(violated.size()) > plannedWorkingSet(rows)) {
            why_ = "the working set of outcomes outgrew the memory plan (" +
                   std::to_string(plannedWorkingSet(rows)) + " outcomes), in " + stageName(stage);
            return GenerationEnd::memoryPlan;
        }
        include(violated);
        round.added = static_cast<std::int32_t>(violated.size());
        round.workingSet = workingSet();
        const bool goOn = !visit || visit(round);
        if (violated.empty() && round.pricing.complete) {
            return GenerationEnd::solved;
        }
        if (!goOn) {
            return GenerationEnd::stopped;
        }
    }
}

}  // namespace unionbound
