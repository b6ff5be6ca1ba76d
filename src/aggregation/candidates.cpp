#include "aggregation/candidates.hpp"

#include <string>

#include "aggregation/ksubsets.hpp"
#include "numeric/diagnostics.hpp"

namespace unionbound {

IntVector intRange(std::int32_t a, std::int32_t b) {
    return intRangeStep(a, b, 1);
}

IntVector intRangeStep(std::int32_t a, std::int32_t b, std::int32_t step) {
    IntVector values;
    if (step > 0) {
        for (std::int64_t v = a; v <= b; v += step) {
            values.push_back(static_cast<std::int32_t>(v));
        }
    } else if (step < 0) {
        for (std::int64_t v = a; v >= b; v += step) {
            values.push_back(static_cast<std::int32_t>(v));
        }
    }
    return values;
}

IntVector intRangeFromOne(std::int32_t n) {
    return intRange(1, n);
}

namespace {

// Entry i of the result collects entry i of every row of `table`, i running
// over the entries of the first row; empty when a row is shorter than that.
template <typename Table>
Table transposed(const Table& table) {
    if (table.empty()) {
        return {};
    }
    const std::size_t columns = table[0].size();
    for (const auto& row : table) {
        if (row.size() < columns) {
            return {};
        }
    }
    Table result(columns);
    for (std::size_t i = 0; i < columns; ++i) {
        for (const auto& row : table) {
            result[i].push_back(row[i]);
        }
    }
    return result;
}

}  // namespace

IntMatrixList transposeList(const IntMatrixList& L) {
    return transposed(L);
}

IntMatrix transposeIntMatrix(const IntMatrix& M) {
    return transposed(M);
}

namespace {

CandidateSet refuse(const std::string& problem) {
    diagnose("in buildCandidates, " + problem + "\n");
    return {};
}

}  // namespace

CandidateSet buildCandidates(const IntVector& lengths, std::int32_t m, const IntMatrix& pairs,
                             std::int32_t j) {
    const std::int32_t coordinates = static_cast<std::int32_t>(lengths.size());
    if (m < 1 || coordinates == 0) {
        return refuse("there must be at least one coordinate and one subscript");
    }
    if (j < -1 || j > m - 1) {
        return refuse("j=" + std::to_string(j) + " is outside -1 ... m-1");
    }
    for (std::int32_t k = 0; k < coordinates; ++k) {
        if (lengths[k] < m) {
            return refuse("coordinate " + std::to_string(k + 1) + " is shorter than m");
        }
    }
    for (const IntVector& pair : pairs) {
        if (pair.size() < 2 || pair[0] < 1 || pair[0] > coordinates || pair[1] < 1 ||
            pair[1] > coordinates || pair[0] == pair[1]) {
            return refuse("a row of pairs does not name two different coordinates");
        }
    }

    IntMatrixList vectorsByCoordinate(coordinates);
    IntMatrix highsByCoordinate(coordinates);

    const IntVector lows1 = intRange(0, j);
    const IntVector highs1 = intRangeStep(lengths[0], lengths[0] + j - m + 2, -1);
    const IntMatrix patterns = KSubsets(intRangeFromOne(m), j + 1);

    IntVector s(m);
    for (const IntVector& pattern : patterns) {
        std::size_t u = 0, v = 0;
        for (std::int32_t t = 0; t < m; ++t) {
            if (u < pattern.size() && pattern[u] == t + 1) {
                s[t] = lows1[u++];
            } else {
                s[t] = highs1[v++];
            }
        }
        vectorsByCoordinate[0].push_back(s);
    }
    highsByCoordinate[0].assign(patterns.size(), m - j - 1);

    for (const IntVector& pair : pairs) {
        const std::int32_t P = pair[0] - 1;
        const std::int32_t Q = pair[1] - 1;
        // Index loop: a row (p, p') may append to the table it reads.
        for (std::size_t i = 0; i < vectorsByCoordinate[P].size(); ++i) {
            const IntVector parent = vectorsByCoordinate[P][i];
            const std::int32_t U = highsByCoordinate[P][i];
            const std::int32_t threshold = m - U - 1;
            std::int32_t nextLow, nextHigh;
            if (U % 2 == 0) {
                s[0] = 0;
                nextLow = 1;
                nextHigh = lengths[Q];
            } else {
                s[0] = lengths[Q];
                nextLow = 0;
                nextHigh = lengths[Q] - 1;
            }
            for (std::int32_t t = 1; t < m; ++t) {
                if (parent[m - t] > threshold) {
                    s[t] = nextHigh--;
                } else {
                    s[t] = nextLow++;
                }
            }
            vectorsByCoordinate[Q].push_back(s);
            highsByCoordinate[Q].push_back(lengths[Q] - nextHigh);
        }
    }

    for (std::int32_t k = 1; k < coordinates; ++k) {
        if (vectorsByCoordinate[k].size() < patterns.size()) {
            return refuse("coordinate " + std::to_string(k + 1) +
                          " is not reached from coordinate 1 through pairs");
        }
    }
    return {transposeList(vectorsByCoordinate), transposeIntMatrix(highsByCoordinate)};
}

}  // namespace unionbound
