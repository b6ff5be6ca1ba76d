#include "evaluator/mixed_solve.hpp"

#include <iostream>
#include <limits>

#include "numeric/lin_solve.hpp"
#include "numeric/vector_ops.hpp"

namespace unionbound {

MixedSolution solveMixedColumns(const RealVector& mixedCosts, const RealVector& shiftedMoments,
                                const RealMatrix& momentMatrix) {
    if (momentMatrix.empty() || momentMatrix.size() < shiftedMoments.size()) {
        std::cout << "in solveMixedColumns, fewer moment rows than targets" << std::endl;
        return {{}, {}, std::numeric_limits<double>::quiet_NaN()};
    }
    const std::size_t N = momentMatrix[0].size();
    if (N == 0) {
        return {{}, shiftedMoments, 0.0};
    }
    const std::size_t t0 = shiftedMoments.size() - N;  // wraps above the size when N is larger

    RealMatrix B;
    RealVector bt;
    for (std::size_t i = t0; i < shiftedMoments.size(); ++i) {
        B.push_back(momentMatrix[i]);
        bt.push_back(shiftedMoments[i]);
    }
    MixedSolution solution;
    solution.weights = LinSolve(B, bt);

    RealMatrix T;
    RealVector bh;
    if (t0 != 0) {
        for (std::size_t i = 0; i < t0 && i < shiftedMoments.size(); ++i) {
            T.push_back(momentMatrix[i]);
            bh.push_back(shiftedMoments[i]);
        }
    }
    solution.residual = vectsum(bh, ScaleVector(-1.0, MatVecProduct(T, solution.weights)));
    solution.cost = ScalarProduct(mixedCosts, solution.weights);
    return solution;
}

}  // namespace unionbound
