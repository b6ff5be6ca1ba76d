#include "exact/compact_lp.hpp"

#include <algorithm>
#include <cmath>

namespace unionbound {

namespace {

// A cell enters when its reduced cost is below minus this. The cells of one
// value point add up in the check of the multipliers, so this stays well
// below the 1e-9 to which the certified bounds are meant to be tight.
constexpr double kPricingTolerance = 1e-12;

// Passes with at most this many pair cells take them all at once (column
// generation from the spread below costs less on anything larger).
constexpr std::int64_t kAllCellsAtOnce = 500;

// The z of the first cells of each (c, a) in a large pass: 0, the same
// rank as a, L_c, and the quarters of L_c between (fewer LP rounds than the
// first three alone: a third fewer simplex operations on input D).
constexpr std::int32_t kFirstSpread = 4;

std::int32_t longest(const IntVector& lengths) {
    return *std::max_element(lengths.begin(), lengths.end());
}

}  // namespace

CompactLp::CompactLp(const PassProblem& problem, lp::Solver& solver, bool distance,
                     const RealVector& allowed)
    : problem_(problem),
      solver_(solver),
      layout_(passLayout(problem)),
      distance_(distance),
      top_(problem.lengths[0]),
      binomial_(longest(problem.lengths), problem.m) {
    const std::int32_t m = problem.m;
    const std::int32_t q = layout_.q;
    const auto length = [&](std::int32_t c) {
        return problem.lengths[static_cast<std::size_t>(c - 1)];
    };

    // The scale of every moment row: its largest coefficient, 0 where the
    // moment adds no terms (its row would be all zeros).
    scale_.assign(layout_.size(), 0.0);
    scale_[0] = 1.0;
    for (std::int32_t c = 1; c <= q; ++c) {
        for (std::int32_t k = 1; k <= m; ++k) {
            scale_[layout_.single(c, k)] = binomial_.lower(length(c), k);
        }
        for (std::int32_t e = 1; c >= 2 && e < m; ++e) {
            for (std::int32_t d = 1; d + e <= m; ++d) {
                scale_[layout_.pair(c, d, e)] =
                    binomial_.lower(top_, d) * binomial_.lower(length(c), e);
            }
        }
    }

    lp::Rows rows;
    const auto addRow = [&](double lower, double upper) {
        rows.lower.push_back(lower);
        rows.upper.push_back(upper);
        return static_cast<std::int32_t>(rows.lower.size() - 1);
    };
    momentRow_.assign(layout_.size(), -1);
    for (std::size_t i = 0; i < layout_.size(); ++i) {
        if (scale_[i] > 0.0) {
            const double target = problem.moments[i] / scale_[i];
            momentRow_[i] = addRow(target, target);
        }
    }
    couplingRow0_ = static_cast<std::int32_t>(rows.lower.size());
    for (std::int32_t i = 0; i < (q - 1) * (top_ + 1); ++i) {
        addRow(0.0, 0.0);
    }
    noEventRow_ = addRow(0.0, lp::kInfinity);
    allZeroRow0_ = static_cast<std::int32_t>(rows.lower.size());
    for (std::int32_t c = 2; c <= std::max(q, 2); ++c) {
        addRow(0.0, lp::kInfinity);
    }
    IntVector distanceRow(layout_.size(), -1);
    if (distance_) {
        for (std::size_t i = 1; i < layout_.size(); ++i) {
            if (momentRow_[i] >= 0) {
                distanceRow[i] = addRow(-lp::kInfinity, 0.0);
            }
        }
    }
    solver_.setRows(rows);

    // r(a), then t and s, then the artificial columns (and δ).
    std::vector<lp::Column> columns;
    for (std::int32_t a = 0; a <= top_; ++a) {
        lp::Column r;
        r.rows.push_back(momentRow_[0]);
        r.values.push_back(1.0);
        for (std::int32_t k = 1; k <= m && k <= a; ++k) {
            const std::size_t i = layout_.single(1, k);
            r.rows.push_back(momentRow_[i]);
            r.values.push_back(binomial_.lower(a, k) / scale_[i]);
        }
        for (std::int32_t c = 2; c <= q; ++c) {
            r.rows.push_back(couplingRow0_ + (c - 2) * (top_ + 1) + a);
            r.values.push_back(-1.0);
        }
        if (a == 0) {
            r.rows.push_back(noEventRow_);
            r.values.push_back(-1.0);
            if (q == 1) {
                r.rows.push_back(allZeroRow0_);
                r.values.push_back(1.0);
            }
        }
        columns.push_back(std::move(r));
    }
    lp::Column t;
    t.rows = {noEventRow_};
    t.values = {1.0};
    columns.push_back(t);
    lp::Column s;
    for (std::int32_t c = 2; c <= std::max(q, 2); ++c) {
        s.rows.push_back(allZeroRow0_ + c - 2);
        s.values.push_back(-1.0);
    }
    columns.push_back(s);
    tColumn_ = top_ + 1;
    sColumn_ = top_ + 2;
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
                delta.values.push_back(-allowed[i] / scale_[i]);
            }
        }
        deltaColumn_ = static_cast<std::int32_t>(columns.size());
        columns.push_back(std::move(delta));
    }
    solver_.addColumns(columns);

    // The first cells: every cell of a small pass; otherwise, for each (c, a),
    // a spread of z (kFirstSpread).
    present_.resize(static_cast<std::size_t>(std::max(q - 1, 0)));
    std::int64_t allCells = 0;
    for (std::int32_t c = 2; c <= q; ++c) {
        present_[static_cast<std::size_t>(c - 2)].assign(
            static_cast<std::size_t>((top_ + 1) * (length(c) + 1)), 0);
        allCells += std::int64_t{top_ + 1} * (length(c) + 1);
    }
    std::vector<Cell> first;
    for (std::int32_t c = 2; c <= q; ++c) {
        for (std::int32_t a = 0; a <= top_; ++a) {
            if (allCells <= kAllCellsAtOnce) {
                for (std::int32_t z = 0; z <= length(c); ++z) {
                    first.push_back({c, a, z});
                }
                continue;
            }
            const auto rank = static_cast<std::int32_t>(
                std::lround(static_cast<double>(a) * length(c) / static_cast<double>(top_)));
            std::vector<std::int32_t> zs{0, rank, length(c)};
            for (std::int32_t j = 1; j < kFirstSpread; ++j) {
                zs.push_back(static_cast<std::int32_t>(
                    std::lround(static_cast<double>(j * length(c)) / kFirstSpread)));
            }
            std::sort(zs.begin(), zs.end());
            zs.erase(std::unique(zs.begin(), zs.end()), zs.end());
            for (std::int32_t z : zs) {
                first.push_back({c, a, z});
            }
        }
    }
    addCells(first);
}

bool CompactLp::hasCell(const Cell& cell) const {
    const std::int32_t length = problem_.lengths[static_cast<std::size_t>(cell.c - 1)];
    return present_[static_cast<std::size_t>(cell.c - 2)]
                   [static_cast<std::size_t>(cell.a * (length + 1) + cell.z)] != 0;
}

void CompactLp::addCells(const std::vector<Cell>& cells) {
    const std::int32_t m = problem_.m;
    std::vector<lp::Column> columns;
    columns.reserve(cells.size());
    for (const Cell& cell : cells) {
        const std::int32_t length = problem_.lengths[static_cast<std::size_t>(cell.c - 1)];
        present_[static_cast<std::size_t>(cell.c - 2)]
                [static_cast<std::size_t>(cell.a * (length + 1) + cell.z)] = 1;
        lp::Column column;
        for (std::int32_t k = 1; k <= m && k <= cell.z; ++k) {
            const std::size_t i = layout_.single(cell.c, k);
            column.rows.push_back(momentRow_[i]);
            column.values.push_back(binomial_.lower(cell.z, k) / scale_[i]);
        }
        for (std::int32_t e = 1; e < m && e <= cell.z; ++e) {
            for (std::int32_t d = 1; d + e <= m && d <= cell.a; ++d) {
                const std::size_t i = layout_.pair(cell.c, d, e);
                column.rows.push_back(momentRow_[i]);
                column.values.push_back(binomial_.lower(cell.a, d) * binomial_.lower(cell.z, e) /
                                        scale_[i]);
            }
        }
        column.rows.push_back(couplingRow0_ + (cell.c - 2) * (top_ + 1) + cell.a);
        column.values.push_back(1.0);
        if (cell.a == 0) {
            column.rows.push_back(cell.z >= 1 ? noEventRow_ : allZeroRow0_ + cell.c - 2);
            column.values.push_back(1.0);
        }
        columns.push_back(std::move(column));
    }
    if (!columns.empty()) {
        solver_.addColumns(columns);
        cellsAdded_ += static_cast<std::int32_t>(columns.size());
    }
}

std::vector<CompactLp::Cell> CompactLp::priceCells(const lp::Result& result) const {
    const std::int32_t m = problem_.m;
    const RealVector dual = momentDuals(result);
    const RealVector& rowDual = result.rowDuals;
    RealVector alpha(static_cast<std::size_t>(m + 1), 0.0);
    std::vector<Cell> cells;
    for (std::int32_t c = 2; c <= layout_.q; ++c) {
        const std::int32_t length = problem_.lengths[static_cast<std::size_t>(c - 1)];
        for (std::int32_t a = 0; a <= top_; ++a) {
            // The reduced cost of p_c(a, z) is −(π_{c,a} + h_c(a, z) + the
            // dual of its t- or s-row), h_c(a, z) = Σ_e α_e·C(z, e).
            for (std::int32_t e = 1; e <= m; ++e) {
                double sum = dual[layout_.single(c, e)];
                for (std::int32_t d = 1; d + e <= m && d <= a; ++d) {
                    sum += dual[layout_.pair(c, d, e)] * binomial_.lower(a, d);
                }
                alpha[static_cast<std::size_t>(e)] = sum;
            }
            const double pi =
                rowDual[static_cast<std::size_t>(couplingRow0_ + (c - 2) * (top_ + 1) + a)];
            double best = -kPricingTolerance;
            Cell chosen{c, a, -1};
            for (std::int32_t z = 0; z <= length; ++z) {
                double h = pi;
                for (std::int32_t e = 1; e <= m && e <= z; ++e) {
                    h += alpha[static_cast<std::size_t>(e)] * binomial_.lower(z, e);
                }
                if (a == 0) {
                    h += rowDual[static_cast<std::size_t>(z >= 1 ? noEventRow_
                                                                 : allZeroRow0_ + c - 2)];
                }
                const double reduced = -h;
                if (reduced < best && !hasCell({c, a, z})) {
                    best = reduced;
                    chosen.z = z;
                }
            }
            if (chosen.z >= 0) {
                cells.push_back(chosen);
            }
        }
    }
    return cells;
}

CompactSolve CompactLp::solve(CompactGoal goal, std::int32_t roundLimit) {
    const bool fixArtificials =
        goal == CompactGoal::leastNoEvent || goal == CompactGoal::mostNoEvent;
    for (std::int32_t column : artificialColumns_) {
        solver_.setColumnBounds(column, 0.0, fixArtificials ? 0.0 : lp::kInfinity);
        solver_.setColumnCost(column, goal == CompactGoal::feasibility ? 1.0 : 0.0);
    }
    if (deltaColumn_ >= 0) {
        solver_.setColumnBounds(deltaColumn_, 0.0, fixArtificials ? 0.0 : lp::kInfinity);
        solver_.setColumnCost(deltaColumn_, goal == CompactGoal::distance ? 1.0 : 0.0);
    }
    solver_.setColumnCost(tColumn_, goal == CompactGoal::leastNoEvent ? 1.0 : 0.0);
    solver_.setColumnCost(sColumn_, goal == CompactGoal::mostNoEvent ? -1.0 : 0.0);

    CompactSolve outcome;
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
        std::vector<Cell> cells = priceCells(outcome.result);
        if (cells.empty() || (outcome.rounds > 1 && outcome.result.iterations == 0)) {
            outcome.settled = true;
            return outcome;
        }
        if (outcome.rounds >= roundLimit) {
            return outcome;
        }
        addCells(cells);
    }
}

RealVector CompactLp::momentDuals(const lp::Result& result) const {
    RealVector dual(layout_.size(), 0.0);
    for (std::size_t i = 0; i < layout_.size(); ++i) {
        const std::int32_t row = momentRow_[i];
        if (row >= 0 && static_cast<std::size_t>(row) < result.rowDuals.size()) {
            dual[i] = result.rowDuals[static_cast<std::size_t>(row)] / scale_[i];
        }
    }
    return dual;
}

}  // namespace unionbound
