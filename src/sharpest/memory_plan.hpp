// How much memory the sharpest bounds need for n events and order m, and
// the largest n this build allows.
//
// The plan counts what grows with the problem:
// - the pricing: one array of 2^n doubles (the duals on the subset lattice,
//   transformed in place, reused for the proven pricing), a byte per outcome
//   for its state in the column generation and one for the proof's marks of
//   the outcomes with an intersection of probability 0: 10·2^n bytes;
// - the LP: R = 1 + Σ_{k≤m} C(n,k) rows; two deviation columns per row and
//   at most kPlannedOutcomesPerRow·R outcomes in the working set, an outcome
//   of k events having Σ_{j≤m} C(k,j) nonzeros, on average over all outcomes
//   Σ_{j≤m} C(n,j)/2^j; each nonzero planned at kPlannedBytesPerNonzero
//   (our copy while a round's columns are built, the LP library's column
//   and row copies and its factorisation).
// The whole must fit in kSharpestMemoryBudget, two thirds of this machine's
// 24 GiB; the column generation stops, without values, rather than let its
// working set outgrow the plan.
#pragma once

#include <cstdint>
#include <string>

namespace unionbound {

inline constexpr double kSharpestMemoryBudget = 16.0 * 1024 * 1024 * 1024;
inline constexpr double kPlannedOutcomesPerRow = 16.0;
inline constexpr double kPlannedBytesPerNonzero = 48.0;

// The planned peak memory in bytes for n events and order m (1 ≤ m, 1 ≤ n ≤ 30).
double plannedSharpestBytes(std::int32_t n, std::int32_t m);
// The largest working set of outcomes the plan allows for `rows` LP rows.
std::int64_t plannedWorkingSet(std::int32_t rows);

// The interior-point method over the whole lattice: nine arrays of 2^n
// doubles and the normal matrix, rows² doubles, beside the proofs' 9·2^n
// bytes; and at most this many rows, whose factorisation (rows³/3 operations)
// each iteration repeats.
inline constexpr std::int32_t kLargestInteriorPointRows = 6000;
double plannedInteriorPointBytes(std::int32_t n, std::int32_t rows);
// Whether the interior-point method fits the plan for n events and `rows` rows.
bool interiorPointFits(std::int32_t n, std::int32_t rows);

// The largest n whose sharpest bounds this build's memory plan allows for
// order m ≥ 1 (at most kLargestLatticeEvents, the events an outcome mask
// holds; orders above n count as n).
std::int32_t largestSharpestEvents(std::int32_t m);

// The plan in words for order m, one line: the largest n and what it needs.
std::string describeSharpestMemoryPlan(std::int32_t m);

}  // namespace unionbound
