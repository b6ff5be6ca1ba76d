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
// max s: the largest P(union) is 1 − t, the smallest 1 − s.
//
// Columns enter by generation, in two kinds. A cell p_c(a, z) of a value a
// already in the program enters when its reduced cost is negative: each
// round the cell of most negative reduced cost for each (c, a), priced from
// the duals in O(L_1·L_c·m) per pair. A value a enters with its column r(a)
// and a spread of its cells when no cell prices in and the reduced cost of
// r(a), with the best coupling duals its (still empty) coupling rows could
// take, −(λ_0 + f(a) + Σ_c max_z h_c(a, z)), is negative: the optimum puts
// weight on few values of X_1, and the rows of the others stay empty, so the
// simplex works on far fewer rows. Small passes take all cells at once.
#pragma once

#include <cstdint>
#include <vector>

#include "exact/pass_program.hpp"

namespace unionbound {

class CompactLp final : public PassProgram {
  public:
    // Builds the rows and the first columns in `solver`. Preconditions as
    // for PassProgram.
    CompactLp(const PassProblem& problem, lp::Solver& solver, bool distance,
              const RealVector& allowed = {});

    // The pair cells in the program.
    std::int32_t columnsEntered() const override { return cellsAdded_; }

  private:
    struct Cell {
        std::int32_t c, a, z;
        bool operator==(const Cell&) const = default;
    };
    // What enters the program in one round: values a of X_1 (the column
    // r(a)) and cells.
    struct Entering {
        IntVector values;
        std::vector<Cell> cells;
        bool empty() const { return values.empty() && cells.empty(); }
    };

    void setGoal(Goal goal) override;
    bool enterPriced(const lp::Result& result) override;
    lp::Column valueColumn(std::int32_t a) const;
    lp::Column cellColumn(const Cell& cell) const;
    void enter(const Entering& entering);
    Entering price(const lp::Result& result) const;
    // Appends the first cells of (c, a) in a large pass: z = 0, the z of the
    // same rank as a, L_c and the spread between (kFirstSpread).
    void spreadCells(std::int32_t c, std::int32_t a, std::vector<Cell>& cells) const;
    bool hasCell(const Cell& cell) const;
    std::int32_t couplingRow(std::int32_t c, std::int32_t a) const {
        return couplingRow0_ + (c - 2) * (top_ + 1) + a;
    }

    std::int32_t top_ = 0;  // L_1
    std::int32_t couplingRow0_ = 0, noEventRow_ = 0, allZeroRow0_ = 0;
    std::int32_t tColumn_ = 0, sColumn_ = 0;
    IntVector valueColumn_;                   // the column of r(a), -1 before a entered
    std::vector<std::vector<char>> present_;  // per c ≥ 2: (a, z) at a·(L_c+1) + z
    std::int32_t cellsAdded_ = 0;
};

}  // namespace unionbound
