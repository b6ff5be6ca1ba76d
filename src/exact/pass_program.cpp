#include "exact/pass_program.hpp"

#include <algorithm>

#include "exact/compact_lp.hpp"
#include "exact/point_lp.hpp"

namespace unionbound {

namespace {

std::int32_t longest(const IntVector& lengths) {
    return *std::max_element(lengths.begin(), lengths.end());
}

}  // namespace

PassProgram::PassProgram(const PassProblem& problem, lp::Solver& solver, bool distance,
                         const RealVector& allowed)
    : problem_(problem),
      solver_(solver),
      layout_(passLayout(problem)),
      binomial_(longest(problem.lengths), problem.m),
      distance_(distance),
      allowed_(allowed) {
    const std::int32_t m = problem.m;
    // The scale of every moment row: its largest coefficient, 0 where the
    // moment adds no terms (its row would be all zeros).
    scale_.assign(layout_.size(), 0.0);
    scale_[0] = 1.0;
    for (std::int32_t c = 1; c <= layout_.q; ++c) {
        for (std::int32_t k = 1; k <= m; ++k) {
            scale_[layout_.single(c, k)] = binomial_.lower(length(c), k);
        }
        for (std::int32_t e = 1; c >= 2 && e < m; ++e) {
            for (std::int32_t d = 1; d + e <= m; ++d) {
                scale_[layout_.pair(c, d, e)] =
                    binomial_.lower(length(1), d) * binomial_.lower(length(c), e);
            }
        }
    }
    momentRow_.assign(layout_.size(), -1);
    std::int32_t next = 0;
    for (std::size_t i = 0; i < layout_.size(); ++i) {
        if (scale_[i] > 0.0) {
            momentRow_[i] = next++;
        }
    }
}

lp::Rows PassProgram::momentRows() const {
    lp::Rows rows;
    for (std::size_t i = 0; i < layout_.size(); ++i) {
        if (momentRow_[i] >= 0) {
            const double target = problem_.moments[i] / scale_[i];
            rows.lower.push_back(target);
            rows.upper.push_back(target);
        }
    }
    return rows;
}

void PassProgram::finishRows(lp::Rows rows) {
    IntVector distanceRow(layout_.size(), -1);
    if (distance_) {
        for (std::size_t i = 1; i < layout_.size(); ++i) {
            if (momentRow_[i] >= 0) {
                distanceRow[i] = static_cast<std::int32_t>(rows.lower.size());
                rows.lower.push_back(-lp::kInfinity);
                rows.upper.push_back(0.0);
            }
        }
    }
    solver_.setRows(rows);

    std::vector<lp::Column> columns;
    for (std::size_t i = 1; i < layout_.size(); ++i) {
        if (momentRow_[i] < 0) {
            continue;
        }
        for (double sign : {1.0, -1.0}) {
            lp::Column artificial;
            artificial.rows = {momentRow_[i]};
            artificial.values = {sign};
            if (distance_) {
                artificial.rows.push_back(distanceRow[i]);
                artificial.values.push_back(1.0);
            }
            artificialColumns_.push_back(static_cast<std::int32_t>(columns.size()));
            columns.push_back(std::move(artificial));
        }
    }
    if (distance_) {
        lp::Column delta;
        for (std::size_t i = 1; i < layout_.size(); ++i) {
            if (distanceRow[i] >= 0) {
                delta.rows.push_back(distanceRow[i]);
                delta.values.push_back(-allowed_[i] / scale_[i]);
            }
        }
        deltaColumn_ = static_cast<std::int32_t>(columns.size());
        columns.push_back(std::move(delta));
    }
    const std::int32_t first = solver_.addColumns(columns);
    for (std::int32_t& column : artificialColumns_) {
        column += first;
    }
    if (deltaColumn_ >= 0) {
        deltaColumn_ += first;
    }
}

GoalSolve PassProgram::solve(Goal goal, std::int32_t roundLimit) {
    const bool fixArtificials = goal == Goal::leastNoEvent || goal == Goal::mostNoEvent;
    for (std::int32_t column : artificialColumns_) {
        solver_.setColumnBounds(column, 0.0, fixArtificials ? 0.0 : lp::kInfinity);
        solver_.setColumnCost(column, goal == Goal::feasibility ? 1.0 : 0.0);
    }
    if (deltaColumn_ >= 0) {
        solver_.setColumnBounds(deltaColumn_, 0.0, fixArtificials ? 0.0 : lp::kInfinity);
        solver_.setColumnCost(deltaColumn_, goal == Goal::distance ? 1.0 : 0.0);
    }
    setGoal(goal);

    GoalSolve outcome;
    while (true) {
        outcome.result = solver_.solve();
        ++outcome.rounds;
        outcome.iterations += outcome.result.iterations;
        if (outcome.result.rowDuals.size() != static_cast<std::size_t>(solver_.rowCount())) {
            outcome.result.status = lp::Status::failed;  // not the duals of these rows
        }
        if (outcome.result.status != lp::Status::optimal) {
            return outcome;
        }
        if ((outcome.rounds > 1 && outcome.result.iterations == 0) ||
            !enterPriced(outcome.result)) {
            outcome.settled = true;
            return outcome;
        }
        if (outcome.rounds >= roundLimit) {
            return outcome;
        }
    }
}

RealVector PassProgram::momentDuals(const lp::Result& result) const {
    RealVector dual(layout_.size(), 0.0);
    for (std::size_t i = 0; i < layout_.size(); ++i) {
        const std::int32_t at = momentRow_[i];
        if (at >= 0 && static_cast<std::size_t>(at) < result.rowDuals.size()) {
            dual[i] = result.rowDuals[static_cast<std::size_t>(at)] / scale_[i];
        }
    }
    return dual;
}

std::unique_ptr<PassProgram> makePassProgram(const PassProblem& problem, lp::Solver& solver,
                                             bool distance, const RealVector& allowed) {
    if (problem.lengths.size() <= 2) {
        return std::make_unique<PointLp>(problem, solver, distance, allowed);
    }
    return std::make_unique<CompactLp>(problem, solver, distance, allowed);
}

}  // namespace unionbound
