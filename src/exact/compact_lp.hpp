// The compact linear program of one pass: the joint distributions of the
// subsequence counts replaced by the distribution r(a) of X_1 and the pair
// distributions p_c(a, z) = P(X_1 = a, X_c = z), c = 2 … q, that agree on it
// (any such family is the family of pair marginals of some joint
// distribution). Every moment row involves at most one pair, so:
//
//   rows     Σ_a r(a) = 1;  Σ_a r(a)·C(a, k) = E[C(X_1, k)];
//            Σ_{a,z} p_c(a, z)·C(z, k) = E[C(X_c, k)];
//            Σ_{a,z} p_c(a, z)·C(a, d)·C(z, e) = E[C(X_1, d)·C(X_c, e)];
//            Σ_z p_c(a, z) − r(a) = 0 for every c ≥ 2 and a (the coupling);
//            t − r(0) + Σ_c Σ_{z≥1} p_c(0, z) ≥ 0;  p_c(0, 0) − s ≥ 0 for c ≥ 2
//            (for q = 1: t − r(0) ≥ 0 and r(0) − s ≥ 0).
//
// Given X_1 = 0 the events {X_c ≥ 1} can be made as disjoint or as nested as
// the pairs allow, so the smallest P(no event) is min t and the largest is
// max s: the largest P(union) is 1 − min t, the smallest 1 − max s.
//
// Each moment row is divided by its largest coefficient (C(L_c, k), or
// C(L_1, d)·C(L_c, e)), so that every coefficient lies in [0, 1]. Moment rows
// other than the total carry artificial columns a⁺, a⁻ (row + a⁺ − a⁻), so
// that a start with the single point "no event occurs" is feasible; the
// feasibility goal minimises their sum, the later goals fix them at 0. The
// distance variant adds one column δ and the rows a⁺_i + a⁻_i ≤ δ·w_i, w_i
// the allowed rounding of moment i in the scaled row: its goal, min δ, is the
// distance of the moments from the attainable ones in units of that rounding.
//
// The pair cells p_c(a, z) enter by column generation: a few to start, then
// every round the cell of most negative reduced cost for each (c, a), priced
// from the duals in O(L_1·L_c·m) per pair, until none is below the pricing
// tolerance. Small passes take all cells at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "exact/pass_problem.hpp"
#include "lp/lp_solver.hpp"
#include "numeric/binomial_bounds.hpp"
#include "numeric/types.hpp"

namespace unionbound {

enum class CompactGoal {
    feasibility,   // min Σ (a⁺ + a⁻): the moments are attainable when this is 0
    distance,      // min δ (the distance variant only)
    leastNoEvent,  // min t: the largest P(union) is 1 − t
    mostNoEvent,   // min −s: the smallest P(union) is 1 − s
};

// What one goal's column generation ended with.
struct CompactSolve {
    lp::Result result;            // the last solve
    std::int32_t rounds = 0;      // solves in this goal
    std::int64_t iterations = 0;  // simplex iterations of those solves
    // No cell was left with a negative reduced cost, or the solver made no
    // step after the last cells entered (their reduced costs were within its
    // tolerance, and the check of the duals absorbs them).
    bool settled = false;
};

class CompactLp {
  public:
    // Builds the rows and the first columns in `solver`.
    // Precondition: checkPassProblem(problem) is empty; `allowed` (used by
    // the distance variant) has one entry per moment, each > 0 for the
    // moments with terms; `problem` and `solver` outlive this.
    CompactLp(const PassProblem& problem, lp::Solver& solver, bool distance,
              const RealVector& allowed = {});

    // Sets the costs and bounds of the goal and solves it, adding cells until
    // none prices below the tolerance or `roundLimit` solves were made.
    CompactSolve solve(CompactGoal goal, std::int32_t roundLimit);

    // The duals of the moment rows of `result`, unscaled, one per moment of
    // the pass (0 for the rows left out: those with no terms). Meant as
    // multipliers for GridCheck; not trusted.
    RealVector momentDuals(const lp::Result& result) const;

    std::int32_t cellCount() const { return cellsAdded_; }

  private:
    struct Cell {
        std::int32_t c, a, z;
    };
    void addCells(const std::vector<Cell>& cells);
    std::vector<Cell> priceCells(const lp::Result& result) const;
    bool hasCell(const Cell& cell) const;

    const PassProblem& problem_;
    lp::Solver& solver_;
    PassLayout layout_;
    bool distance_;
    std::int32_t top_ = 0;  // L_1
    RealVector scale_;      // the divisor of each moment row (0: row left out)
    IntVector momentRow_;   // the row of each moment, -1 where left out
    std::int32_t couplingRow0_ = 0, noEventRow_ = 0, allZeroRow0_ = 0;
    std::int32_t tColumn_ = 0, sColumn_ = 0, deltaColumn_ = -1;
    IntVector artificialColumns_;
    std::vector<std::vector<char>> present_;  // per c ≥ 2: (a, z) at a·(L_c+1) + z
    BinomialBounds binomial_;
    std::int32_t cellsAdded_ = 0;
};

}  // namespace unionbound
