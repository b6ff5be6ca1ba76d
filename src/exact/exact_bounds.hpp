// The exact bounds of one pass: the largest and the smallest probability of
// the union over all joint distributions of the subsequence counts that have
// the pass's binomial moments, each proven.
//
// The linear program of the pass (pass_program.hpp: over value points for
// q ≤ 2, over pair cells otherwise) is solved with the LP library
// behind lp::Solver; its duals are only candidates. Each value handed out is
// the bound that GridCheck proves from them, for the exact moments of the
// given probabilities (any moments within the error bounds): the largest
// violation of the dual constraints over the whole grid is found in proven
// arithmetic and absorbed by the constant multiplier. Wherever the solver
// does not claim an optimum, or the proven value is not finite, no value is
// given and the reason is said.
//
// The data are called inconsistent only when a Farkas certificate, checked
// the same way, proves that no distribution has moments within the error
// bounds widened by the rounding allowed for the data (kRoundingOfTheData
// for each probability, so N_i·1e-9 for a moment that adds N_i of them).
#pragma once

#include <cstdint>
#include <vector>

#include "exact/pass_problem.hpp"
#include "lp/lp_solver.hpp"
#include "numeric/proven_bound.hpp"

namespace unionbound {

// What the solve of one pass cost and what the solver claimed.
struct ExactPassStatistics {
    std::int32_t rounds = 0;      // LP solves, all goals together
    std::int64_t iterations = 0;  // simplex iterations, all solves together
    std::int32_t rows = 0;        // rows of the pass's program
    std::int32_t cells = 0;       // its columns that entered: pair cells or value points
    double seconds = 0.0;         // wall time of the whole pass
    // The optima the solver claimed (not proven; not-a-number where none).
    double claimedUpper = 0.0;
    double claimedLower = 0.0;
    // How far the constant multiplier had to move to make the duals valid
    // everywhere (0 where they were; not-a-number where no value was proven).
    double upperRepair = 0.0;
    double lowerRepair = 0.0;
    // The attempts made for each side (1 where the first sufficed), and the
    // one whose value is kept (0 the first; -1 where none was proven). The
    // claims and repairs above are those of the kept attempt.
    std::int32_t upperAttempts = 0;
    std::int32_t lowerAttempts = 0;
    std::int32_t upperKept = -1;
    std::int32_t lowerKept = -1;
};

struct ExactPassResult {
    ProvenInterval bounds;
    ExactPassStatistics statistics;
};

// One attempt at a pass's linear program: the solver it makes, and whether
// it solves the other of the two programs (pass_program.hpp) instead of the
// one makePassProgram chooses.
struct ExactAttempt {
    lp::SolverFactory makeSolver;
    bool otherProgram = false;
};

// The largest and the smallest P(at least one event) over all joint
// distributions of the counts (X_1 … X_q), 0 ≤ X_c ≤ L_c, whose binomial
// moments are exact moments M of the given probabilities (any M with
// |M_i − moments_i| ≤ errors_i), each proven: bounds.upper ≥ that largest,
// bounds.lower ≤ that smallest. A malformed problem gives no values and says
// what is wrong. Each call uses solvers of its own from `makeSolver`: passes
// may run on several threads at once, with the same results.
// The first attempt solves the feasibility goal, then the upper and the
// lower side on one solver; each later attempt is made only for a side that
// the earlier ones left without a value within 1e-9 of its claim, and
// `attempts` empty gives no values.
ExactPassResult solveExactPass(const PassProblem& problem,
                               const std::vector<ExactAttempt>& attempts);

// The same with the single attempt of a solver from `makeSolver` on the
// usual program.
ExactPassResult solveExactPass(const PassProblem& problem, const lp::SolverFactory& makeSolver);

// The settings of the solver the exact bounds use by default: feasibility
// and optimality tolerances of 1e-9 on the scaled rows (the library's own,
// 1e-7, leaves optima of badly conditioned passes visibly loose), and no
// scaling by the library beyond the programs' own.
lp::Settings exactSolverSettings();

// The attempts the exact bounds make by default, on the solver of this
// build: first exactSolverSettings() as above; then, for a side left
// unproven or loose, a fresh solver of the same settings, one with a
// tighter primal tolerance, one with the library's scaling, and the other
// program (for a pass of more than 4 subsequences, whose usual program is
// the compact one, the program over value points is not tried).
std::vector<ExactAttempt> exactSolverAttempts();

// The bounds of solveExactPass without the statistics: with the default
// attempts, or with the single attempt of `makeSolver`.
ProvenInterval exactPassBounds(const PassProblem& problem);
ProvenInterval exactPassBounds(const PassProblem& problem, const lp::SolverFactory& makeSolver);

}  // namespace unionbound
