// How much memory the sharpest bounds need, and what this build allows.
//
// With the lattice (n ≤ kLargestLatticeEvents) the plan counts what grows
// with the problem:
// - the pricing: 2^n whole numbers of 8 bytes (the values of the duals on
//   the subset lattice, which every proof reuses), a byte per outcome for
//   the marks of those with an intersection of probability 0, and one for
//   the column generation's working set: 10·2^n bytes;
// - the LP: R = 1 + Σ_{k≤m} C(n,k) rows; two deviation columns per row and
//   at most kPlannedOutcomesPerRow·R outcomes in the working set, an outcome
//   of k events having Σ_{j≤m} C(k,j) nonzeros, on average over all outcomes
//   Σ_{j≤m} C(n,j)/2^j; each nonzero planned at kPlannedBytesPerNonzero
//   (our copy while a round's columns are built, the LP library's column
//   and row copies and its factorisation).
// With the sets of events, only the positive intersections take rows: the
// reading holds every probability (8 bytes each) until they are known, and
// then each positive intersection costs kEventSetBytesPerRow beside the LP
// of kPlannedOutcomesPerRow outcomes per row of about C(2m, ≤ m) nonzeros
// each (sparse data have small outcomes).
// The whole must fit in kSharpestMemoryBudget, two thirds of this machine's
// 24 GiB; the column generation stops, keeping its proven bounds, rather than
// let its working set outgrow the plan.
#pragma once

#include <cstdint>
#include <string>

namespace unionbound {

inline constexpr double kSharpestMemoryBudget = 16.0 * 1024 * 1024 * 1024;
inline constexpr double kPlannedOutcomesPerRow = 16.0;
inline constexpr double kPlannedBytesPerNonzero = 48.0;
inline constexpr double kEventSetBytesPerRow = 128.0;

// The planned peak memory in bytes of the lattice for n events and order m
// (1 ≤ m, 1 ≤ n ≤ 30).
double plannedLatticeBytes(std::int32_t n, std::int32_t m);
// The largest n whose lattice this build's memory plan allows for order
// m ≥ 1 (at most kLargestLatticeEvents, the events an outcome mask holds;
// orders above n count as n).
std::int32_t largestLatticeEvents(std::int32_t m);

// The planned peak memory in bytes with the sets of events, for `positive`
// positive intersections of order m.
double plannedEventSetBytes(double positive, std::int32_t m);
// Whether the sharpest bounds of n events and order m can run at all: the
// probabilities the reading holds for them fit, and so would the LP were
// every intersection positive, or the lattice fits.
bool sharpestFits(std::int64_t n, std::int64_t m);
// Whether `positive` positive intersections of order m fit the plan.
bool eventSetsFit(double positive, std::int32_t m);

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

// The plan in words, one line: what n events of order m would need.
std::string describeSharpestMemoryPlan(std::int64_t n, std::int64_t m);

}  // namespace unionbound
