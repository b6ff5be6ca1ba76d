#include "aggregation/bound_solver.hpp"

#include <string>

#include "aggregation/candidates.hpp"
#include "aggregation/moment_shift.hpp"
#include "moments/moment_index.hpp"
#include "numeric/diagnostics.hpp"

namespace unionbound {

ShiftedColumns shiftColumns(const RealMatrix& counts, const IntMatrix& candidateSubscripts,
                            const IntVector& candidateHighCounts) {
    const IntMatrix& S = candidateSubscripts;
    const IntVector& H = candidateHighCounts;
    ShiftedColumns shifted;
    if (S.size() < counts.size() || H.size() < counts.size() || S.empty()) {
        diagnose("in shiftColumns, the candidate does not cover every coordinate\n");
        return {};
    }
    const std::size_t w = S[0].size();
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const RealVector& values = counts[i];
        const std::int64_t len = static_cast<std::int64_t>(values.size()) - 1;
        const auto inside = [&](std::int64_t subscript) {
            return subscript >= 0 && subscript <= len;
        };
        bool fits = S[i].size() >= w && len + 1 >= static_cast<std::int64_t>(w);
        for (std::size_t t = 0; t < w && fits; ++t) {
            fits = inside(S[i][t]);
        }
        fits = fits && (len < static_cast<std::int64_t>(w) ||
                        (inside(static_cast<std::int64_t>(w) - H[i]) && inside(len - H[i])));
        if (!fits) {
            diagnose("in shiftColumns, a subscript lies outside coordinate " +
                     std::to_string(i + 1) + "\n");
            return {};
        }
        RealVector row;
        row.reserve(values.size());
        for (std::size_t t = 0; t < w; ++t) {
            row.push_back(values[S[i][t]]);
        }
        for (std::int64_t t = static_cast<std::int64_t>(w); t <= len; ++t) {
            row.push_back(values[t - H[i]]);
        }
        shifted.shifts.push_back(row[0]);
        // Downward, so that every entry is reduced by the first entry's value
        // before the first entry itself becomes 0.
        for (std::size_t t = row.size(); t-- > 0;) {
            row[t] = row[t] - row[0];
        }
        shifted.columns.push_back(std::move(row));
    }
    return shifted;
}

BoundSolution solveBound(Penalty penalty, const RealMatrix& counts, const RealVector& rhs,
                         const IntVector& orders, const IntMatrix& pairs, std::int32_t m) {
    const IntMatrixList momentIndex = momentIndexList(m, pairs, orders);
    const MomentLookup lookup(momentIndex);
    IntVector lengths;
    for (const RealVector& row : counts) {
        lengths.push_back(static_cast<std::int32_t>(row.size()) - 1);
    }

    BoundSolution record{kSearchStart, {}, -1, {}};
    for (std::int32_t j = -1; j <= m - 1; ++j) {
        const CandidateSet candidates = buildCandidates(lengths, m, pairs, j);
        for (std::size_t c = 0; c < candidates.subscripts.size(); ++c) {
            const ShiftedColumns shifted =
                shiftColumns(counts, candidates.subscripts[c], candidates.highCounts[c]);
            const RealVector shiftedMoments =
                shiftMoments(rhs, shifted.shifts, momentIndex, orders, lookup);
            BasisEvaluation evaluation =
                evaluateBasis(penalty, shifted.columns, shifted.shifts, orders, m, shiftedMoments,
                              candidates.highCounts[c], momentIndex);
            if (evaluation.value > record.value) {
                record = {evaluation.value, std::move(evaluation.Kjs), j, candidates.subscripts[c]};
            }
        }
    }
    return record;
}

}  // namespace unionbound
