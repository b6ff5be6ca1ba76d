// The full-data LP solved whole, over every outcome of the lattice, by a
// primal-dual interior-point method (Mehrotra's predictor and corrector,
// with Gondzio's centrality correctors):
//
//   minimise c·x subject to A x = b, x ≥ 0,
//
// one unknown per outcome that may have probability, one row per
// intersection of positive probability (and row 0, the total). The rows of
// A are indicator sums over supersets, so A x is a superset-sum transform,
// Aᵀy a zeta transform, and the normal matrix A D Aᵀ has the entry
// Σ_{ω ⊇ S ∪ T} d_ω at (S, T): one superset-sum transform of d gives all of
// it, and a dense Cholesky factorisation solves it. Each iteration costs a
// few transforms (n·2^(n−1) additions each) and one factorisation of the
// R × R matrix, whatever the number of outcomes.
//
// Nothing it computes is trusted: its duals are handed out each iteration
// for a caller to prove, and its primal iterates only say how close a
// proven bound is to the best one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "sharpest/dense_cholesky.hpp"
#include "sharpest/outcome_lattice.hpp"

namespace unionbound {

struct InteriorPointSettings {
    // The lower side of clustered n = 24 takes about 310.
    std::int32_t iterationLimit = 500;
    // Converged when the primal and dual objectives agree to this, relative
    // to 1 + |dual objective|, ...
    double gapTolerance = 1e-10;
    // ... and no row, nor any outcome's cost, is missed by more than this.
    double rowTolerance = 1e-10;
    // Centrality correctors tried per iteration, at most; -1 chooses from
    // the sizes (more where the factorisation costs far more than a
    // transform, since a corrector reuses it).
    std::int32_t correctors = -1;
};

// One iteration's point, as the caller sees it.
struct InteriorPointIterate {
    std::int32_t iteration = 0;
    // The duals y on every row of OutcomeRows, 0 on the rows left out (the
    // intersections of probability 0); the sign of the LP as posed (Aᵀy ≤ c).
    std::span<const double> duals;
    double primalObjective = 0.0;  // c·x
    double dualObjective = 0.0;    // b·y
    // x·s: where x met the rows exactly (and s = c − Aᵀy), c·x would be
    // b·y + x·s; for an x that misses them slightly, b·y + x·s is c·x
    // corrected to first order by the duals (c·x − y·(A x − b)).
    double complementarity = 0.0;
    double rowResidual = 0.0;   // max over the rows of |(A x − b)_S|
    double costResidual = 0.0;  // max over the outcomes of |c − Aᵀy − s|
    // Near the end only: c·x' for x' ≥ 0, x moved onto the rows, and how far
    // x' misses them (a rounding's worth), summed as for x.
    std::optional<double> metObjective;
    double metRowResidual = 0.0;
};

enum class InteriorPointEnd {
    converged,
    stalled,         // no more progress in double precision
    iterationLimit,  // settings.iterationLimit reached
    stopped,         // the caller said so
    singular,        // the first normal matrix could not be factored (no interior to start from)
};

class LatticeInteriorPoint {
  public:
    // `targets`: b, one per row of `rows` (b_0 = 1); a row whose target is 0
    // is left out. `excluded`: 1 for the outcomes that must have probability
    // 0 (they take no unknown). `costWithEvents`: c_ω for every ω ≠ ∅ (c_∅ =
    // 0). `parallel` (may be empty) shares out the passes over the lattice;
    // the results are the same either way.
    LatticeInteriorPoint(const OutcomeRows& rows, std::span<const double> targets,
                         std::span<const std::uint8_t> excluded, double costWithEvents,
                         ParallelFor parallel = {});

    // Iterates until converged, stalled or at the limit; after each
    // iteration `visit` sees the point and returns false to stop there.
    InteriorPointEnd run(const InteriorPointSettings& settings,
                         const std::function<bool(const InteriorPointIterate&)>& visit);

    // The primal point of the last iteration, one probability per outcome.
    const std::vector<double>& primal() const { return x_; }

  private:
    // Every pass over the lattice is cut into these parts, whether or not
    // they run at the same time: sums are taken part by part, in this order.
    static constexpr std::size_t kParts = 16;
    template <class Body>
    void inParts(Body&& body) const;  // body(part, begin, end)

    // The longest steps that keep x + α dx and s + α ds ≥ 0, at most 1.
    struct Steps {
        double primal = 1.0;
        double dual = 1.0;
    };
    static Steps shortest(const std::array<Steps, kParts>& parts);
    static double sumOverParts(const std::array<double, kParts>& parts);

    // rowValues = A v (the active rows).
    void applyRows(std::span<const double> v, std::vector<double>& rowValues);
    // The same for v already in work_ (which it overwrites).
    void applyRowsToWork(std::vector<double>& rowValues);
    // lattice = Aᵀ y for y on the active rows.
    void applyColumns(std::span<const double> y, std::vector<double>& lattice);
    // The normal matrix A D Aᵀ, factored, for the weights d = x/s of the
    // Newton direction or d = x² of the projection onto the rows.
    enum class Weights { newton, projection };
    bool factorNormalMatrix(Weights weights);
    // x moved onto the rows (into dx_): its c·x and largest miss of a row;
    // false where the move leaves a probability negative.
    bool meetTheRows(double& objective, double& residual);
    // Mehrotra's starting point, from the factorisation for D = 1.
    void start();
    // The Newton direction dy_, dx_, ds_ and its steps, for the
    // complementarity right-hand side S⁻¹ r_xs: −x (the predictor), or q_
    // with the residuals rb_ and rc_ (both), or q_ alone (a corrector).
    enum class Rhs { predictor, both, corrector };
    Steps direction(Rhs rhs);

    const OutcomeRows& rows_;
    std::vector<std::int32_t> active_;  // the rows kept, in increasing order
    std::vector<OutcomeMask> masks_;    // their intersections
    std::vector<double> b_;             // their targets
    std::span<const std::uint8_t> excluded_;
    double cost_;
    ParallelFor parallel_;
    std::size_t unknowns_ = 0;  // the outcomes not excluded
    std::vector<double> x_, s_, y_;
    std::vector<double> dx_, ds_, dy_;
    std::vector<double> rb_, rc_, work_, q_;
    std::vector<double> fullDuals_;
    DenseCholesky normal_;
};

}  // namespace unionbound
