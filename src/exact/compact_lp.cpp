#include "exact/compact_lp.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace unionbound {

namespace {

// Passes with at most this many pair cells take them all at once (column
// generation from the spread below costs less on anything larger).
constexpr std::int64_t kAllCellsAtOnce = 500;

// The first values a of X_1 in a large pass: 0, L_1 and the multiples of
// L_1 / kFirstValues between (rounded); every value of a pass with a shorter
// L_1.
constexpr std::int32_t kFirstValues = 4;

// At most this many values enter in one round, those of most negative
// reduced cost (more at once take more simplex steps than the rounds they
// save; fewer, more rounds).
constexpr std::size_t kValuesPerRound = 12;

// Cells whose reduced costs are all above minus this do not hold back the
// values that price in: a solver may call them 0 (its own tolerance is
// 1e-9 on the scaled rows).
constexpr double kCellsSettled = 1e-8;

// The z of the first cells of each (c, a) in a large pass: 0, the same
// rank as a, L_c, and the quarters of L_c between (fewer LP rounds than the
// first three alone: a third fewer simplex operations on input D).
constexpr std::int32_t kFirstSpread = 4;

}  // namespace

CompactLp::CompactLp(const PassProblem& problem, lp::Solver& solver, bool distance,
                     const RealVector& allowed)
    : PassProgram(problem, solver, distance, allowed), top_(problem.lengths[0]) {
    const std::int32_t q = layout_.q;

    lp::Rows rows = momentRows();
    const auto addRow = [&](double lower, double upper) {
        rows.lower.push_back(lower);
        rows.upper.push_back(upper);
        return static_cast<std::int32_t>(rows.lower.size() - 1);
    };
    couplingRow0_ = static_cast<std::int32_t>(rows.lower.size());
    for (std::int32_t i = 0; i < (q - 1) * (top_ + 1); ++i) {
        addRow(0.0, 0.0);
    }
    noEventRow_ = addRow(0.0, lp::kInfinity);
    allZeroRow0_ = static_cast<std::int32_t>(rows.lower.size());
    for (std::int32_t c = 2; c <= std::max(q, 2); ++c) {
        addRow(0.0, lp::kInfinity);
    }
    finishRows(std::move(rows));

    // t and s; the r(a) and the cells follow, as their values enter.
    lp::Column t;
    t.rows = {noEventRow_};
    t.values = {1.0};
    lp::Column s;
    for (std::int32_t c = 2; c <= std::max(q, 2); ++c) {
        s.rows.push_back(allZeroRow0_ + c - 2);
        s.values.push_back(-1.0);
    }
    tColumn_ = solver_.addColumns({t, s});
    sColumn_ = tColumn_ + 1;

    // The first values and cells: all of a small pass (and of q = 1, which
    // has no cells); otherwise a spread of values a (kFirstValues) and, for
    // each (c, a), a spread of z (kFirstSpread).
    present_.resize(static_cast<std::size_t>(std::max(q - 1, 0)));
    std::int64_t allCells = 0;
    for (std::int32_t c = 2; c <= q; ++c) {
        present_[static_cast<std::size_t>(c - 2)].assign(
            static_cast<std::size_t>((top_ + 1) * (length(c) + 1)), 0);
        allCells += std::int64_t{top_ + 1} * (length(c) + 1);
    }
    valueColumn_.assign(static_cast<std::size_t>(top_ + 1), -1);
    const bool small = allCells <= kAllCellsAtOnce;
    Entering first;
    if (small || top_ <= kFirstValues) {
        for (std::int32_t a = 0; a <= top_; ++a) {
            first.values.push_back(a);
        }
    } else {
        for (std::int32_t j = 0; j <= kFirstValues; ++j) {
            first.values.push_back(static_cast<std::int32_t>(
                std::lround(static_cast<double>(j * top_) / kFirstValues)));
        }
    }
    for (std::int32_t a : first.values) {
        for (std::int32_t c = 2; c <= q; ++c) {
            if (!small) {
                spreadCells(c, a, first.cells);
                continue;
            }
            for (std::int32_t z = 0; z <= length(c); ++z) {
                first.cells.push_back({c, a, z});
            }
        }
    }
    enter(first);
}

void CompactLp::spreadCells(std::int32_t c, std::int32_t a, std::vector<Cell>& cells) const {
    const std::int32_t span = length(c);
    const auto rank = static_cast<std::int32_t>(
        std::lround(static_cast<double>(a) * span / static_cast<double>(top_)));
    std::vector<std::int32_t> zs{0, rank, span};
    for (std::int32_t j = 1; j < kFirstSpread; ++j) {
        zs.push_back(
            static_cast<std::int32_t>(std::lround(static_cast<double>(j * span) / kFirstSpread)));
    }
    std::sort(zs.begin(), zs.end());
    zs.erase(std::unique(zs.begin(), zs.end()), zs.end());
    for (std::int32_t z : zs) {
        cells.push_back({c, a, z});
    }
}

bool CompactLp::hasCell(const Cell& cell) const {
    return present_[static_cast<std::size_t>(cell.c - 2)]
                   [static_cast<std::size_t>(cell.a * (length(cell.c) + 1) + cell.z)] != 0;
}

lp::Column CompactLp::valueColumn(std::int32_t a) const {
    const std::int32_t q = layout_.q;
    lp::Column r;
    r.rows.push_back(row(0));
    r.values.push_back(1.0);
    for (std::int32_t k = 1; k <= problem_.m && k <= a; ++k) {
        const std::size_t i = layout_.single(1, k);
        r.rows.push_back(row(i));
        r.values.push_back(scaled(i, binomial_.lower(a, k)));
    }
    for (std::int32_t c = 2; c <= q; ++c) {
        r.rows.push_back(couplingRow(c, a));
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
    return r;
}

lp::Column CompactLp::cellColumn(const Cell& cell) const {
    const std::int32_t m = problem_.m;
    lp::Column column;
    for (std::int32_t k = 1; k <= m && k <= cell.z; ++k) {
        const std::size_t i = layout_.single(cell.c, k);
        column.rows.push_back(row(i));
        column.values.push_back(scaled(i, binomial_.lower(cell.z, k)));
    }
    for (std::int32_t e = 1; e < m && e <= cell.z; ++e) {
        for (std::int32_t d = 1; d + e <= m && d <= cell.a; ++d) {
            const std::size_t i = layout_.pair(cell.c, d, e);
            column.rows.push_back(row(i));
            column.values.push_back(
                scaled(i, binomial_.lower(cell.a, d) * binomial_.lower(cell.z, e)));
        }
    }
    column.rows.push_back(couplingRow(cell.c, cell.a));
    column.values.push_back(1.0);
    if (cell.a == 0) {
        column.rows.push_back(cell.z >= 1 ? noEventRow_ : allZeroRow0_ + cell.c - 2);
        column.values.push_back(1.0);
    }
    return column;
}

void CompactLp::enter(const Entering& entering) {
    std::vector<lp::Column> columns;
    columns.reserve(entering.values.size() + entering.cells.size());
    std::int32_t next = solver_.columnCount();
    for (std::int32_t a : entering.values) {
        valueColumn_[static_cast<std::size_t>(a)] = next++;
        columns.push_back(valueColumn(a));
    }
    for (const Cell& cell : entering.cells) {
        present_[static_cast<std::size_t>(cell.c - 2)]
                [static_cast<std::size_t>(cell.a * (length(cell.c) + 1) + cell.z)] = 1;
        columns.push_back(cellColumn(cell));
    }
    if (!columns.empty()) {
        solver_.addColumns(columns);
        cellsAdded_ += static_cast<std::int32_t>(entering.cells.size());
    }
}

CompactLp::Entering CompactLp::price(const lp::Result& result) const {
    const std::int32_t m = problem_.m;
    const RealVector dual = momentDuals(result);
    const RealVector& rowDual = result.rowDuals;
    RealVector alpha(static_cast<std::size_t>(m + 1), 0.0);
    Entering entering;
    // The values not in the program that price in: the reduced cost of r(a)
    // and, per c, the cell of the largest h_c(a, z).
    struct Candidate {
        double reduced;
        std::int32_t a;
        std::vector<Cell> best;
    };
    std::vector<Candidate> candidates;
    double leastCell = 0.0;
    for (std::int32_t a = 0; a <= top_; ++a) {
        const bool in = valueColumn_[static_cast<std::size_t>(a)] >= 0;
        // λ_0 + f(a), the dual activity of r(a) without its coupling rows.
        Candidate candidate{0.0, a, {}};
        if (!in) {
            candidate.reduced = -dual[0];
            for (std::int32_t k = 1; k <= m && k <= a; ++k) {
                candidate.reduced -= dual[layout_.single(1, k)] * binomial_.lower(a, k);
            }
        }
        for (std::int32_t c = 2; c <= layout_.q; ++c) {
            // h_c(a, z) = Σ_e α_e·C(z, e): the moment rows' share of the dual
            // activity of p_c(a, z).
            for (std::int32_t e = 1; e <= m; ++e) {
                double sum = dual[layout_.single(c, e)];
                for (std::int32_t d = 1; d + e <= m && d <= a; ++d) {
                    sum += dual[layout_.pair(c, d, e)] * binomial_.lower(a, d);
                }
                alpha[static_cast<std::size_t>(e)] = sum;
            }
            if (!in) {
                // The coupling dual of an empty row (c, a) can be at most
                // −max_z h_c(a, z) for all cells of (c, a) to price out.
                Cell top{c, a, 0};
                double largest = 0.0;  // h_c(a, 0)
                for (std::int32_t z = 1; z <= length(c); ++z) {
                    double h = 0.0;
                    for (std::int32_t e = 1; e <= m && e <= z; ++e) {
                        h += alpha[static_cast<std::size_t>(e)] * binomial_.lower(z, e);
                    }
                    if (h > largest) {
                        largest = h;
                        top.z = z;
                    }
                }
                candidate.reduced -= largest;
                candidate.best.push_back(top);
                continue;
            }
            // The reduced cost of p_c(a, z) is −(π_{c,a} + h_c(a, z) + the
            // dual of its t- or s-row).
            const double pi = rowDual[static_cast<std::size_t>(couplingRow(c, a))];
            double least = -kPricingTolerance;
            Cell chosen{c, a, -1};
            for (std::int32_t z = 0; z <= length(c); ++z) {
                double h = pi;
                for (std::int32_t e = 1; e <= m && e <= z; ++e) {
                    h += alpha[static_cast<std::size_t>(e)] * binomial_.lower(z, e);
                }
                if (a == 0) {
                    h += rowDual[static_cast<std::size_t>(z >= 1 ? noEventRow_
                                                                 : allZeroRow0_ + c - 2)];
                }
                if (-h < least && !hasCell({c, a, z})) {
                    least = -h;
                    chosen.z = z;
                }
            }
            if (chosen.z >= 0) {
                entering.cells.push_back(chosen);
                leastCell = std::min(leastCell, least);
            }
        }
        if (!in && candidate.reduced < -kPricingTolerance) {
            candidates.push_back(std::move(candidate));
        }
    }
    // Values enter once the cells of those in the program have settled, up
    // to reduced costs the solver may take for 0 (then it would make no step
    // on the cells alone, which would end the goal early).
    if (leastCell < -kCellsSettled) {
        return entering;
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& x, const Candidate& y) { return x.reduced < y.reduced; });
    candidates.resize(std::min(candidates.size(), kValuesPerRound));
    for (const Candidate& candidate : candidates) {
        entering.values.push_back(candidate.a);
        for (const Cell& best : candidate.best) {
            const std::size_t from = entering.cells.size();
            spreadCells(best.c, best.a, entering.cells);
            if (std::find(entering.cells.begin() + static_cast<std::ptrdiff_t>(from),
                          entering.cells.end(), best) == entering.cells.end()) {
                entering.cells.push_back(best);
            }
        }
    }
    return entering;
}

void CompactLp::setGoal(Goal goal) {
    solver_.setColumnCost(tColumn_, goal == Goal::leastNoEvent ? 1.0 : 0.0);
    solver_.setColumnCost(sColumn_, goal == Goal::mostNoEvent ? -1.0 : 0.0);
}

bool CompactLp::enterPriced(const lp::Result& result) {
    const Entering entering = price(result);
    enter(entering);
    return !entering.empty();
}

}  // namespace unionbound
