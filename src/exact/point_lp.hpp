// The moment program of one pass over the value points themselves: one
// column p(z) per point z = (z_1 … z_q) of the counts, one row per moment.
// The Π (L_c + 1) points enter by column generation, so the program holds
// only the moment rows (1 + q·m + (q − 1)·m(m − 1)/2 of them) and the points
// that priced in:
//
//   rows     Σ_z p(z)·A_i(z) = M_i for every moment i with terms, A_i(z) its
//            coefficient at z (1, C(z_c, k) or C(z_1, d)·C(z_c, e));
//   goals    min p(0): the largest P(union) is 1 − p(0);
//            min −p(0): the smallest P(union) is 1 + min(−p(0)).
//
// The point of most negative reduced cost is found without visiting the
// grid: the dual activity of p(z) separates into
// λ_0 + f(z_1) + Σ_{c≥2} h_c(z_1, z_c), so for each z_1 = a every z_c is
// chosen on its own in O(L_c·m), and the points with z_1 = 0 other than 0
// take the best coordinate moved off 0 where every h_c(0, ·) is largest at 0.
// Each round adds the best point of every a that prices in.
//
// The rows, their scaling and artificial columns are those of
// pass_program.hpp: the start, "no event occurs", is the single point 0.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "exact/pass_program.hpp"

namespace unionbound {

class PointLp final : public PassProgram {
  public:
    // Builds the rows, the point 0 and the points of equal rank in `solver`.
    // Preconditions as for PassProgram.
    PointLp(const PassProblem& problem, lp::Solver& solver, bool distance,
            const RealVector& allowed = {});

    std::int32_t columnsEntered() const override {
        return static_cast<std::int32_t>(points_.size());
    }

  private:
    using Point = std::vector<std::int32_t>;  // z_1 … z_q

    void setGoal(Goal goal) override;
    bool enterPriced(const lp::Result& result) override;
    lp::Column pointColumn(const Point& z) const;
    void enter(const std::vector<Point>& points);
    // The best point of every z_1 whose reduced cost under `result`'s duals
    // is below minus the tolerance (the point 0 is always in the program).
    std::vector<Point> price(const lp::Result& result) const;

    std::int32_t zeroColumn_ = -1;
    std::set<Point> points_;
};

}  // namespace unionbound
