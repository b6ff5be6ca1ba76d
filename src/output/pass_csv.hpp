// The per-pass table written by --csv: one row per pass, for scripts.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

namespace unionbound {

struct PassRow {
    std::int32_t l;  // subsequence length
    std::int32_t q;  // number of subsequences
    double bound;    // the pass's upper bound on the probability of the union
    double seconds;  // the pass's running time, as in the report
};

// The header "l,q,bound,seconds,best", then one line per pass; best is 1 for
// the pass of length bestL and 0 otherwise. The reals are written with 17
// significant digits (%.17g), so they read back to the same doubles.
void writePassCsv(std::ostream& out, const std::vector<PassRow>& rows, std::int32_t bestL);

}  // namespace unionbound
