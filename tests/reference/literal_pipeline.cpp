#include "reference/literal_pipeline.hpp"

#include <ctime>
#include <utility>

#include "aggregation/basis_subscripts.hpp"
#include "aggregation/candidates.hpp"
#include "aggregation/coordinate_basis.hpp"
#include "aggregation/moment_shift.hpp"
#include "aggregation/passes.hpp"
#include "moments/moment_index.hpp"
#include "moments/power_moments.hpp"
#include "numeric/diagnostics.hpp"
#include "numeric/vector_ops.hpp"
#include "output/report.hpp"

namespace unionbound::reference {

namespace {

std::int32_t choose(std::int32_t n, std::int32_t s) {
    if (n < s) {
        return 0;
    }
    std::int32_t a = 1;
    for (std::int32_t j = 1; j <= s; ++j) {
        a = a * (n + j - s) / j;
    }
    return a;
}

}  // namespace

IntMatrix allSubsets(std::int32_t n, std::int32_t m) {
    IntMatrix rows;
    for (std::int32_t s = 1; s <= m; ++s) {
        const std::int32_t N = choose(n, s);
        for (std::int32_t r = 0; r < N; ++r) {
            IntVector subset;
            std::int32_t last = 0, rest = r;
            for (std::int32_t t = 0; t < s; ++t) {
                const std::int32_t j = s - 1 - t;
                std::int32_t x = last + 1;
                while (rest >= choose(n - x, j)) {
                    rest -= choose(n - x, j);
                    ++x;
                }
                subset.push_back(x);
                last = x;
            }
            rows.push_back(subset);
        }
    }
    return rows;
}

RealVector binomialMoments(const RealVector& prob, std::int32_t n, std::int32_t l, std::int32_t m,
                           const IntMatrix& pairs, const IntVector& orders) {
    const std::int32_t q = n / l;
    const IntMatrix S = allSubsets(n, m);
    const IntMatrixList I = momentIndexList(m, pairs, orders);
    const auto subsequenceOf = [&](std::int32_t x) {
        const std::int32_t c = (x - 1) / l + 1;
        return c > q ? q : c;
    };
    RealVector moments{1.0};
    for (std::size_t t = 1; t < I.size(); ++t) {
        double sum = 0.0;
        for (std::size_t p = 0; p < S.size(); ++p) {
            const IntVector& subset = S[p];
            const auto size = static_cast<std::int32_t>(subset.size());
            bool counts = false;
            if (I[t][0].size() == 1) {
                const std::int32_t c = I[t][0][0], k = I[t][1][0];
                if (size == k) {
                    if (c < q) {
                        counts = (c - 1) * l < subset.front() && subset.back() <= c * l;
                    } else if (c == q) {
                        counts = (q - 1) * l < subset.front();
                    }
                }
            } else {
                const std::int32_t a = I[t][0][0], b = I[t][0][1];
                const std::int32_t d = I[t][1][0], e = I[t][1][1];
                if (size == d + e) {
                    std::int32_t inA = 0, inB = 0;
                    for (std::int32_t x : subset) {
                        inA += subsequenceOf(x) == a ? 1 : 0;
                        inB += subsequenceOf(x) == b ? 1 : 0;
                    }
                    counts = inA == d && inB == e;
                }
            }
            if (counts) {
                sum = sum + prob[p];
            }
        }
        moments.push_back(sum);
    }
    return moments;
}

std::vector<DoubleDouble> binomialSums(const RealVector& prob, std::int32_t n, std::int32_t m) {
    std::vector<DoubleDouble> sums{DoubleDouble(1.0)};
    std::size_t first = 0;
    for (std::int32_t k = 1; k <= m; ++k) {
        const auto count = static_cast<std::size_t>(choose(n, k));
        DoubleDouble sum;
        for (std::size_t p = first; p < first + count && p < prob.size(); ++p) {
            sum = sum + DoubleDouble(prob[p]);
        }
        sums.push_back(sum);
        first += count;
    }
    return sums;
}

RealMatrix powerMomentMatrix(std::int32_t m, const IntMatrix& pairs, const IntVector& orders) {
    const IntMatrixList I = momentIndexList(m, pairs, orders);
    const std::size_t N = I.size();
    RealMatrix matrix;
    RealVector first(N, 0.0);
    first[0] = 1.0;
    matrix.push_back(first);
    for (std::size_t i = 1; i < N; ++i) {
        RealVector row{0.0};
        for (std::size_t j = 1; j < N; ++j) {
            double entry = 0.0;
            if (I[i][0].size() == 1) {
                if (I[j][0].size() == 1 && I[j][0][0] == I[i][0][0]) {
                    entry = stirling2(I[i][1][0], I[j][1][0]) * factorial(I[j][1][0]);
                }
            } else if (I[j][0].size() == 2 && I[j][0][0] == I[i][0][0] &&
                       I[j][0][1] == I[i][0][1]) {
                const std::int32_t d = I[i][1][0], e = I[i][1][1];
                const std::int32_t dd = I[j][1][0], ee = I[j][1][1];
                entry = stirling2(e, ee) * stirling2(d, dd) * factorial(ee) * factorial(dd);
            }
            row.push_back(entry);
        }
        matrix.push_back(row);
    }
    return matrix;
}

RealVector LinSolve(RealMatrix A, RealVector b) {
    const std::size_t n = A.size();
    if (n != A[0].size() || n != b.size()) {
        diagnose("Size problem in the input of LinSolve.\n");
    }
    for (std::size_t j = 0; j < n; ++j) {
        std::size_t i = j;
        while (i < n && A[i][0] == 0.0) {
            ++i;
        }
        if (i == n) {
            diagnose("(LinSolve) The matrix A is singular.\n");
            i = n - 1;
            A[n - 1][0] = 1.0;
        }
        std::swap(A[i], A[j]);
        std::swap(b[i], b[j]);
        const double p = A[j][0];
        b[j] = b[j] / p;
        A[j] = DivideVector(p, A[j]);
        for (std::size_t k = 0; k < n; ++k) {
            if (k == j) {
                continue;
            }
            const double f = A[k][0];
            b[k] = b[k] - b[j] * f;
            A[k] = vectsum(A[k], ScaleVector(-f, A[j]));
            A[k].erase(A[k].begin());
        }
        A[j].erase(A[j].begin());
    }
    return b;
}

RealMatrix buildMixedMomentMatrix(const RealMatrix& columns, const IntMatrixList& momentIndex,
                                  const IntVector& orders, std::int32_t m) {
    const std::size_t firstMixed =
        static_cast<std::size_t>(IntScalarProduct(orders, IntVector(orders.size(), 1))) + 1;
    const std::size_t mixedCount = momentIndex.size() - firstMixed;
    RealMatrix result{RealVector(mixedCount, 1.0)};
    for (std::size_t j = 0; j + 1 <= orders.size(); ++j) {
        RealVector W;
        for (std::size_t i = firstMixed; i < momentIndex.size(); ++i) {
            if (momentIndex[i][0][0] == static_cast<std::int32_t>(j + 1)) {
                W.push_back(columns[j][momentIndex[i][1][0]]);
            } else if (momentIndex[i][0][1] == static_cast<std::int32_t>(j + 1)) {
                W.push_back(columns[j][momentIndex[i][1][1]]);
            } else {
                W.push_back(0.0);
            }
        }
        for (std::int32_t e = 1; e <= orders[j]; ++e) {
            result.push_back(IntPowerEach(W, e));
        }
    }
    std::int32_t groupSize = 1;
    for (std::int32_t c = 1; c <= 2; ++c) {
        groupSize = ((m - 2 + c) * groupSize) / c;
    }
    if (m < 2) {
        groupSize = 0;
    }
    for (std::size_t start = firstMixed; start < momentIndex.size(); start += groupSize) {
        RealVector U(mixedCount, 0.0);
        RealVector V = U;
        const std::int32_t j1 = momentIndex[start][0][0], j2 = momentIndex[start][0][1];
        for (std::size_t c = start; c < start + groupSize; ++c) {
            U[c - firstMixed] = columns[j1 - 1][momentIndex[c][1][0]];
            V[c - firstMixed] = columns[j2 - 1][momentIndex[c][1][1]];
        }
        for (std::size_t c = start; c < start + groupSize; ++c) {
            result.push_back(CoordProduct(IntPowerEach(U, momentIndex[c][1][0]),
                                          IntPowerEach(V, momentIndex[c][1][1])));
        }
    }
    return result;
}

MixedSolution solveMixedColumns(const RealVector& mixedCosts, const RealVector& shiftedMoments,
                                const RealMatrix& momentMatrix) {
    const std::size_t N = momentMatrix[0].size();
    const std::size_t t0 = shiftedMoments.size() - N;
    RealMatrix B, T;
    RealVector bt, bh;
    for (std::size_t i = t0; i < shiftedMoments.size(); ++i) {
        B.push_back(momentMatrix[i]);
        bt.push_back(shiftedMoments[i]);
    }
    const RealVector x = reference::LinSolve(B, bt);
    for (std::size_t i = 0; i < t0; ++i) {
        T.push_back(momentMatrix[i]);
        bh.push_back(shiftedMoments[i]);
    }
    return {x, vectsum(bh, ScaleVector(-1.0, MatVecProduct(T, x))), ScalarProduct(mixedCosts, x)};
}

BasisEvaluation evaluateBasis(Penalty penalty, const RealMatrix& columns, const RealVector& shifts,
                              const IntVector& orders, std::int32_t m,
                              const RealVector& shiftedMoments, const IntVector& highCounts,
                              const IntMatrixList& momentIndex) {
    const double baseCost = penalty(shifts);
    const std::size_t firstMixed =
        static_cast<std::size_t>(IntScalarProduct(orders, IntVector(orders.size(), 1))) + 1;
    RealVector mixedCosts;
    for (std::size_t i = firstMixed; i < momentIndex.size(); ++i) {
        RealVector point = shifts;
        const IntMatrix& entry = momentIndex[i];
        point[entry[0][0] - 1] += columns[entry[0][0] - 1][entry[1][0]];
        point[entry[0][1] - 1] += columns[entry[0][1] - 1][entry[1][1]];
        mixedCosts.push_back(penalty(point) - baseCost);
    }
    const RealMatrix momentMatrix = buildMixedMomentMatrix(columns, momentIndex, orders, m);
    const MixedSolution mixed = solveMixedColumns(mixedCosts, shiftedMoments, momentMatrix);
    BasisEvaluation evaluation{0.0, {}};
    RealVector values;
    std::int32_t position = 1;
    for (std::size_t j = 0; j < orders.size(); ++j) {
        RealVector coordinateCosts;
        for (std::size_t q = 1; q < columns[j].size(); ++q) {
            RealVector point = shifts;
            point[j] += columns[j][q];
            coordinateCosts.push_back(penalty(point) - baseCost);
        }
        RealVector targets;
        for (std::int32_t r = position; r <= position + orders[j] - 1; ++r) {
            targets.push_back(mixed.residual[r]);
        }
        position += orders[j];
        const CoordinateSolution solution =
            bestCoordinateBasis(coordinateCosts, columns[j], orders[j], m, targets, highCounts[j]);
        values.push_back(solution.value);
        evaluation.Kjs.push_back(solution.choice);
    }
    double total = 0.0;
    for (double value : values) {
        total = total + value;
    }
    evaluation.value = (mixed.cost + total) + baseCost;
    return evaluation;
}

BoundSolution solveBound(Penalty penalty, const RealMatrix& counts, const RealVector& rhs,
                         const IntVector& orders, const IntMatrix& pairs, std::int32_t m) {
    const IntMatrixList momentIndex = momentIndexList(m, pairs, orders);
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
                shiftMoments(rhs, shifted.shifts, momentIndex, orders);
            const BasisEvaluation evaluation =
                evaluateBasis(penalty, shifted.columns, shifted.shifts, orders, m, shiftedMoments,
                              candidates.highCounts[c], momentIndex);
            if (evaluation.value > record.value) {
                record = {evaluation.value, evaluation.Kjs, j, candidates.subscripts[c]};
            }
        }
    }
    return record;
}

void runPasses(const RealVector& prob, std::int32_t n, std::int32_t m, std::ostream& report,
               std::ostream& console) {
    const std::int32_t mK = m;
    writeReportHeader(report, n, m, mK);
    double bestValue = kSearchStart, bestTime = 0.0;
    std::int32_t bestL = mK;
    for (std::int32_t l = mK; l <= n / 2; ++l) {
        const std::clock_t start = std::clock();
        const PassTables t = passTables(n, l, mK);
        const RealVector moments = binomialMoments(prob, n, l, m, t.pairs, t.orders);
        const RealVector rhs = MatVecProduct(powerMomentMatrix(m, t.pairs, t.orders), moments);
        const BoundSolution s = solveBound(thresholdPenalty, t.counts, rhs, t.orders, t.pairs, m);
        const double elapsed = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        if (l == mK || s.value > bestValue) {
            bestValue = s.value;
            bestTime = elapsed;
            bestL = l;
        }
        PassReport block;
        block.l = l;
        block.objective = s.value;
        block.seconds = elapsed;
        block.binomialMoments = moments;
        block.kjs = s.Kjs;
        block.jbest = s.jbest;
        block.vks = s.Vks;
        block.basisSubscripts = basisSubscripts(m, t.pairs, t.orders, s.Vks, s.Kjs, s.jbest);
        writePassBlock(report, m, block);
    }
    writeConsoleSummary(console, bestValue, bestTime, bestL);
}

}  // namespace unionbound::reference
