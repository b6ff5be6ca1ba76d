// What the two linear programs of a pass share: the moment rows, scaled, with
// their artificial columns (and the distance variant's rows and δ), the
// goals, and the loop that solves a goal while columns price in.
//
// Each moment row is divided by its largest coefficient (C(L_c, k), or
// C(L_1, d)·C(L_c, e)), so that every coefficient lies in [0, 1]; a moment
// with no terms (an order above its subsequence's length) has no row. Moment
// rows other than the total carry artificial columns a⁺, a⁻ (row + a⁺ − a⁻),
// so that a start with the single outcome "no event occurs" is feasible; the
// feasibility goal minimises their sum, the later goals fix them at 0. The
// distance variant adds one column δ and the rows a⁺_i + a⁻_i ≤ δ·w_i, w_i
// the allowed rounding of moment i in the scaled row: its goal, min δ, is the
// distance of the moments from the attainable ones in units of that rounding.
//
// The two programs (compact_lp.hpp, point_lp.hpp) have the same optima; which
// one a pass takes is makePassProgram's choice.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "exact/pass_problem.hpp"
#include "lp/lp_solver.hpp"
#include "numeric/binomial_bounds.hpp"
#include "numeric/types.hpp"

namespace unionbound {

enum class Goal {
    feasibility,   // min Σ (a⁺ + a⁻): the moments are attainable when this is 0
    distance,      // min δ (the distance variant only)
    leastNoEvent,  // the least P(no event): the largest P(union) is 1 − its value
    mostNoEvent,   // minus the largest P(no event): the smallest P(union) is 1 + its value
};

// What one goal's column generation ended with.
struct GoalSolve {
    lp::Result result;            // the last solve
    std::int32_t rounds = 0;      // solves in this goal
    std::int64_t iterations = 0;  // simplex iterations of those solves
    // No column was left with a negative reduced cost, or the solver made no
    // step after the last columns entered (their reduced costs were within
    // its tolerance, and the check of the duals absorbs them).
    bool settled = false;
};

class PassProgram {
  public:
    virtual ~PassProgram() = default;
    PassProgram(const PassProgram&) = delete;
    PassProgram& operator=(const PassProgram&) = delete;

    // Sets the costs and bounds of the goal and solves it, adding columns
    // until none prices below the tolerance or `roundLimit` solves were made.
    GoalSolve solve(Goal goal, std::int32_t roundLimit);

    // The duals of the moment rows of `result`, unscaled, one per moment of
    // the pass (0 for the rows left out). Meant as multipliers for
    // GridCheck; not trusted.
    RealVector momentDuals(const lp::Result& result) const;

    // The columns that entered by pricing or at the start, besides the
    // artificial ones.
    virtual std::int32_t columnsEntered() const = 0;

  protected:
    // Precondition: checkPassProblem(problem) accepts it; `allowed` has one
    // entry per moment, each > 0 for the moments with terms, when `distance`;
    // `problem` and `solver` outlive this.
    PassProgram(const PassProblem& problem, lp::Solver& solver, bool distance,
                const RealVector& allowed);

    // The scaled moment rows, rows 0 … of the program; a derived program
    // appends its own and hands them to finishRows.
    lp::Rows momentRows() const;
    // Appends the distance rows, sets the rows in the solver and adds the
    // artificial columns (and δ).
    void finishRows(lp::Rows rows);

    // The goal's costs and bounds of the program's own columns.
    virtual void setGoal(Goal goal) = 0;
    // Prices every column under the duals of `result` and adds those that
    // enter; false when none does.
    virtual bool enterPriced(const lp::Result& result) = 0;

    // The row of moment i, -1 where it has none.
    std::int32_t row(std::size_t i) const { return momentRow_[i]; }
    // The entry of moment i for a coefficient C: C / its row's scale.
    double scaled(std::size_t i, double coefficient) const { return coefficient / scale_[i]; }
    std::int32_t length(std::int32_t c) const {
        return problem_.lengths[static_cast<std::size_t>(c - 1)];
    }

    const PassProblem& problem_;
    lp::Solver& solver_;
    const PassLayout layout_;
    const BinomialBounds binomial_;

  private:
    bool distance_;
    RealVector allowed_;
    RealVector scale_;     // the divisor of each moment row (0: row left out)
    IntVector momentRow_;  // the row of each moment, -1 where left out
    IntVector artificialColumns_;
    std::int32_t deltaColumn_ = -1;
};

// A cell or point enters when its reduced cost is below minus this: well
// below the 1e-9 to which the certified bounds are meant to be tight, since
// what is left is absorbed by the check of the multipliers.
inline constexpr double kPricingTolerance = 1e-12;

// The program a pass is solved with: the program over value points when
// q ≤ 2 (its rows are the moments alone), else the compact program of the
// pair distributions (a point of q coordinates would touch every moment row,
// where a pair cell touches a few). Preconditions as for PassProgram.
std::unique_ptr<PassProgram> makePassProgram(const PassProblem& problem, lp::Solver& solver,
                                             bool distance, const RealVector& allowed = {});

}  // namespace unionbound
