// Proofs from multipliers: whatever numbers an LP solver hands back as its
// duals, these functions find, in proven arithmetic, what they establish
// about every distribution with the given intersection probabilities.
//
// Multipliers y hold one number per row of OutcomeRows: y_0 for the total
// probability, y_S for the intersection S. Their value at an outcome is
// F(ω) = Σ_{S ⊆ ω, |S| ≤ m} y_S (y_0 counted at every outcome). If
// F(ω) ≥ t(ω) at every outcome, then Σ_ω P(ω)·t(ω) ≤ Σ_S y_S·P(∩S) for every
// distribution P (weak duality), and the mirror image holds for F ≤ t.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sharpest/outcome_lattice.hpp"

namespace unionbound {

// Which side of the target the multipliers' values must lie on.
enum class MultiplierSide {
    atLeast,  // F(ω) ≥ t(ω): the multipliers bound Σ P(ω)·t(ω) from above
    atMost,   // F(ω) ≤ t(ω): they bound it from below
};

// Working memory of the proofs, reused between calls: the multipliers as
// proven, 2^n whole numbers and 2^n bytes.
struct ProofScratch {
    std::vector<double> multipliers;
    std::vector<std::int64_t> values;
    std::int32_t places = 0;
    std::vector<std::uint8_t> marks;
};

struct MultiplierProof {
    bool valid = false;  // false when a multiplier, the shift or the bound is not finite
    double bound = 0.0;  // the proven bound (see proveMultipliers)
    double shift = 0.0;  // the move of y_0 that made the multipliers feasible, ≥ 0
};

// Proves what the multipliers y give for the target t(ω) = target for every
// outcome ω ≠ ∅ and t(∅) = 0. The multipliers are first rounded to a grid
// of 2^−K (the largest K with which all their partial sums fit in 63-bit
// whole numbers, so that they move by far less than their own rounding);
// the proof is of those rounded multipliers. Their values F at all 2^n
// outcomes are then summed exactly, in whole units of the grid, by the zeta
// transform, which finds the largest violation v of F against t exactly;
// y_0 is moved by v (up for atLeast, down for atMost) so that the
// inequality holds everywhere. Then, for atLeast, `bound` ≥ Σ_S y_S·d_S for
// every data vector d (d_0 = 1) whose entries lie within `slack` plus the
// spacing of the double prob_S of prob_S, which covers the exact decimal
// each double was read from; so `bound` is at least target·P(at least one
// event) for every distribution with those intersection probabilities. For
// atMost, `bound` is at most that, likewise.
//
// With `floatZeroRows`, the outcomes that contain an intersection of
// probability exactly 0 are repaired apart: the multiplier of every such
// intersection is moved (up for atLeast, down for atMost) by their largest
// violation, which costs at most that times the reading error of 0 each,
// and y_0 only by the largest violation among the other outcomes. This is
// what lets column generation leave those outcomes out. (Not for a proof
// with a slack: the data within the slack of 0 need not be 0.)
//
// `prob` is in the subset order (row S is prob[S − 1]).
MultiplierProof proveMultipliers(const OutcomeRows& rows, std::span<const double> y,
                                 std::span<const double> prob, MultiplierSide side, double target,
                                 double slack, bool floatZeroRows, ProofScratch& scratch);

// The values of the multipliers y, rounded to the grid of proveMultipliers,
// at every outcome, exactly: values[ω]·2^−K = Σ_{S ⊆ ω} proven_S, where K
// (returned) is the grid's number of binary places and proven the rounded
// multipliers. `target` is the largest target that will be compared with
// them (its units must fit as well).
std::int32_t evaluateOnLattice(const OutcomeRows& rows, std::span<const double> y, double target,
                               std::vector<double>& proven, std::vector<std::int64_t>& values,
                               const ParallelFor& parallel = {});

// The same proofs for one problem, one after another: the marks of the
// outcomes with an intersection of probability 0 are found once, and the
// working memory is kept. `rows` and `prob` must outlive it.
class MultiplierProver {
  public:
    // `parallel` (may be empty) shares out the transforms.
    MultiplierProver(const OutcomeRows& rows, std::span<const double> prob,
                     ParallelFor parallel = {});

    MultiplierProof prove(std::span<const double> y, MultiplierSide side, double target,
                          double slack, bool floatZeroRows);
    // 1 for every outcome that contains an intersection of probability 0.
    const std::vector<std::uint8_t>& zeroMarks() const { return scratch_.marks; }
    // The values of the multipliers last proven at every outcome, in whole
    // units of 2^−places() (see evaluateOnLattice).
    const std::vector<std::int64_t>& values() const { return scratch_.values; }
    std::int32_t places() const { return scratch_.places; }
    // The values of other multipliers, without a proof, in the same memory.
    void evaluate(std::span<const double> y) {
        scratch_.places =
            evaluateOnLattice(rows_, y, 0.0, scratch_.multipliers, scratch_.values, parallel_);
    }

  private:
    const OutcomeRows& rows_;
    std::span<const double> prob_;
    ProofScratch scratch_;
    ParallelFor parallel_;
};

// The pieces every proof is made of, whatever prices its outcomes.
//
// The grid: multipliers rounded to whole units of 2^−places, with places
// the largest with which every partial sum of their magnitudes and of the
// target fits in 62 bits (gridPlaces); their values at outcomes are then
// sums of whole numbers, exact.
int gridPlaces(std::span<const double> y, double target);
// `value` in whole units of the grid, and in `proven` the multiplier it
// stands for (exactly units·2^−places).
std::int64_t onGrid(double value, int places, double& proven);
// The target in whole units, rounded against the multipliers (up for
// atLeast, down for atMost).
std::int64_t targetUnits(double target, int places, MultiplierSide side);
// units·2^−places, rounded up.
double fromUnitsUp(std::int64_t units, int places);

// What a proof has found once it knows the largest violation of the
// multipliers on the grid: the bound Σ y_S·d_S (see proveMultipliers).
struct ProofTerms {
    std::span<const double> proven;  // the multipliers on the grid, row 0 first
    std::span<const double> data;    // the probability of every row but row 0
    double shift = 0.0;              // the move of y_0, rounded up
    // With moveZeroRows, the rows whose probability is 0 have their
    // multiplier moved by zeroShift instead (the lattice's repair).
    double zeroShift = 0.0;
    bool moveZeroRows = false;
    double slack = 0.0;
    // Intersections of probability 0 that are not rows at all, each taken
    // with the multiplier absentMultiplier (the event sets' repair).
    double absentRows = 0.0;
    double absentMultiplier = 0.0;
};
MultiplierProof finishProof(const ProofTerms& terms, MultiplierSide side);

// An upper bound on |d − p| for the exact decimal d that a double p was
// correctly rounded from: the spacing of the doubles just above |p|.
double readingError(double p);

}  // namespace unionbound
