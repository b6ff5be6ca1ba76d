// The lattice of outcomes of n events and the rows of the full-data problem.
//
// An outcome is the set of events that occur, held as a bit mask (bit i−1
// for event i). The problem has one row for the total probability (row 0)
// and one for each intersection of 1 … m events (row 1 + its position in the
// subset order of "prob.txt"); the column of an outcome ω has a 1 in row 0
// and in the row of every intersection S ⊆ ω.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "numeric/types.hpp"

namespace unionbound {

using OutcomeMask = std::uint32_t;

// The largest number of events an outcome mask holds.
inline constexpr std::int32_t kLargestLatticeEvents = 30;

// The rows of the full-data problem for n events and orders up to m.
// Precondition: 1 ≤ n ≤ kLargestLatticeEvents, m ≥ 1 (orders above n are
// empty), and the row count fits in a signed 32-bit integer.
class OutcomeRows {
  public:
    OutcomeRows(std::int32_t n, std::int32_t m);

    std::int32_t events() const { return n_; }
    std::int32_t order() const { return m_; }
    // 1 + C(n,1) + … + C(n,m).
    std::int32_t rowCount() const { return static_cast<std::int32_t>(masks_.size()); }
    // 2^n.
    std::uint64_t outcomeCount() const { return std::uint64_t{1} << n_; }

    // The events of a row as a mask (0 for row 0, the total probability).
    OutcomeMask maskOfRow(std::int32_t row) const { return masks_[static_cast<std::size_t>(row)]; }
    // The row of the intersection of the events of `subset`, 1 ≤ |subset| ≤ m
    // (0 for the empty set). Precondition: |subset| ≤ m.
    std::int32_t rowOf(OutcomeMask subset) const;
    // The rows of outcome ω in increasing order: 0 and the row of every
    // S ⊆ ω with 1 ≤ |S| ≤ m; Σ_{k≤m} C(|ω|, k) of them. Replaces `rows`.
    void rowsOfOutcome(OutcomeMask outcome, std::vector<std::int32_t>& rows) const;

  private:
    std::int32_t n_;
    std::int32_t m_;
    std::vector<OutcomeMask> masks_;                 // by row
    std::vector<std::int64_t> sizeOffset_;           // row of the first subset of each size
    std::vector<std::vector<std::int64_t>> choose_;  // choose_[a][b] = C(a, b), b ≤ m + 1
};

// Places row values on the lattice: values[ω] = rowValues[row of ω] for
// |ω| ≤ m and 0 elsewhere. `values` gets 2^n entries.
void placeOnLattice(const OutcomeRows& rows, std::span<const double> rowValues,
                    std::vector<double>& values);

// Marks the outcomes that no distribution with these data can have: marks[ω]
// = 1 when ω contains an intersection S (1 ≤ |S| ≤ m) whose probability
// prob[row of S − 1] is exactly 0, else 0. `marks` gets 2^n entries.
void markOutcomesOfZeroIntersections(const OutcomeRows& rows, std::span<const double> prob,
                                     std::vector<std::uint8_t>& marks);

// Runs body(part) for part = 0 … parts − 1, possibly several at a time, and
// returns when all are done. What each part does is fixed by the caller, so
// no result depends on how the parts run.
using ParallelFor =
    std::function<void(std::size_t parts, const std::function<void(std::size_t)>& body)>;

// The zeta transform over the subset lattice, in place: afterwards
// values[ω] = Σ_{S ⊆ ω} (values before)[S], for all 2^n outcomes (n·2^(n−1)
// additions, rounded to nearest, each value's in the same order however
// the work is shared out). `values` holds 2^n entries.
void zetaTransform(std::span<double> values, const ParallelFor& parallel = {});
// The same in whole numbers, exact. Precondition: no partial sum of the
// values before overflows (the sum of their magnitudes fits).
void zetaTransform(std::span<std::int64_t> values, const ParallelFor& parallel = {});
// The sums over supersets, in place: afterwards values[ω] = Σ_{T ⊇ ω}
// (values before)[T], rounded to nearest. values[S] for an intersection S is
// then the row S of the problem times the values (A·x).
void supersetTransform(std::span<double> values, const ParallelFor& parallel = {});

}  // namespace unionbound
