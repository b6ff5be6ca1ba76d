// The per-pass table written by --csv: one row per pass, for scripts.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

#include "unionbound/result.hpp"

namespace unionbound {

struct PassRow {
    std::int32_t l;  // subsequence length
    std::int32_t q;  // number of subsequences
    // The structured pass: its upper bound on the probability of the union
    // and its running time, as in the report (none when those passes could
    // not run for this order).
    std::optional<double> bound;
    std::optional<double> seconds;
    // The pass's proven exact bounds (none where none was proven).
    std::optional<double> exactUpper = std::nullopt;
    std::optional<double> exactLower = std::nullopt;
};

// The rows of a run's result, in increasing l: one per pass of the
// aggregation method, with the exact bounds of the same length beside it;
// one per exact pass that the aggregation did not run (all of them where it
// could not run, those after it stopped early).
std::vector<PassRow> passRowsOf(const Result& result);

// The length of the pass that gives the aggregation bound of the result (0
// where the aggregation did not run).
std::int32_t bestPassOf(const Result& result);

// The header "l,q,bound,seconds,best" (with `exactColumns`, followed by
// ",exact_upper,exact_lower"), then one line per pass; best is 1 for the
// pass of length bestL and 0 otherwise. The reals are written with 17
// significant digits (%.17g), so they read back to the same doubles; a
// value that is missing leaves its cell empty.
void writePassCsv(std::ostream& out, const std::vector<PassRow>& rows, std::int32_t bestL,
                  bool exactColumns = false);

}  // namespace unionbound
