// The library writes nothing to standard output or standard error, whatever
// it is given: refused and inconsistent input, odd data, every method, one
// thread or several, and the numeric stages' own argument errors, whose
// messages go to the diagnostic sink alone. Both streams are caught at their
// file descriptors, so that nothing written below the C++ streams (by the
// LP library, say) escapes either.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "aggregation/basis_evaluator.hpp"
#include "aggregation/bound_solver.hpp"
#include "aggregation/candidates.hpp"
#include "aggregation/coordinate_basis.hpp"
#include "aggregation/ksubsets.hpp"
#include "aggregation/mixed_solve.hpp"
#include "aggregation/moment_shift.hpp"
#include "e2e/program_runner.hpp"
#include "moments/subsets.hpp"
#include "numeric/lin_solve.hpp"
#include "numeric/vector_ops.hpp"
#include "support/capture.hpp"
#include "unionbound/engine.hpp"

namespace unionbound {
namespace {

// Everything written to the descriptors 1 and 2 while `call` runs.
std::string writtenToTheStreams(const std::function<void()>& call) {
    testing::ScratchDir dir;
    const std::string caught = (dir.path() / "streams").string();
    std::fflush(nullptr);
    std::cout.flush();
    std::cerr.flush();
    const int savedOut = dup(STDOUT_FILENO), savedErr = dup(STDERR_FILENO);
    std::FILE* file = std::fopen(caught.c_str(), "w");
    dup2(fileno(file), STDOUT_FILENO);
    dup2(fileno(file), STDERR_FILENO);
    call();
    std::fflush(nullptr);
    std::cout.flush();
    std::cerr.flush();
    dup2(savedOut, STDOUT_FILENO);
    dup2(savedErr, STDERR_FILENO);
    close(savedOut);
    close(savedErr);
    std::fclose(file);
    return testing::readFile(caught);
}

TEST(SilentLibrary, WritesNothingToTheStreamsWhateverTheEngineIsGiven) {
    testing::ScratchDir dir;
    const std::string badFile = (dir.path() / "bad.txt").string();
    testing::writeFile(badFile, "0.5 x");
    std::vector<double> disjoint(6, 0.125);
    disjoint.resize(41, 0.0);
    std::vector<double> inconsistent = disjoint;
    inconsistent[6] = 0.5;
    std::vector<double> ones(intersectionCount(8, 3), 1.0);
    std::vector<double> alternating(intersectionCount(9, 3));
    for (std::size_t i = 0; i < alternating.size(); ++i) {
        alternating[i] = i % 3 == 0 ? 1.0 : i % 3 == 1 ? 0.0 : 0.5;
    }
    const std::vector<std::string> all = {"aggregation", "exact", "sharpest", "classical"};
    struct Case {
        const char* name;
        Problem problem;
        std::vector<std::string> methods;
    };
    const Case cases[] = {
        {"missing file", Problem::fromFile(6, 3, (dir.path() / "none").string()), all},
        {"bad word", Problem::fromFile(6, 3, badFile), all},
        {"refused sizes", Problem::fromProbabilities(5, 4, {}), {"aggregation"}},
        {"unknown method", Problem::fromProbabilities(6, 3, disjoint), {"none"}},
        {"inconsistent pair", Problem::fromProbabilities(6, 3, inconsistent), all},
        {"disjoint events", Problem::fromProbabilities(6, 3, disjoint), all},
        {"every event sure", Problem::fromProbabilities(8, 3, ones), all},
        {"inconsistent orders", Problem::fromProbabilities(9, 3, alternating), all},
        {"pairwise data", Problem::fromProbabilities(6, 2, std::vector<double>(21, 0.1)), all},
    };
    for (const Case& c : cases) {
        for (const std::int32_t threads : {1, 3}) {
            Options options;
            options.methods = c.methods;
            options.threads = threads;
            const std::string written =
                writtenToTheStreams([&] { (void)bounds(c.problem, options); });
            EXPECT_EQ(written, "") << c.name << ", " << threads << " threads";
        }
    }
}

TEST(SilentLibrary, SendsTheNumericStagesArgumentErrorsToTheSinkAlone) {
    // Every stage that refuses its arguments, called with arguments it
    // refuses: without a sink the messages go nowhere, with one they all
    // arrive there.
    const auto refusedCalls = [] {
        (void)ScalarProduct({1.0}, {});
        (void)IntScalarProduct({1}, {});
        (void)CoordProduct({1.0}, {});
        (void)vectsum({1.0}, {});
        (void)IntPower(2.0, -1);
        (void)IntPower(0.0, 0);
        (void)LinSolve({{0.0, 0.0}, {0.0, 0.0}}, {1.0, 1.0});
        (void)LinSolve({{1.0}}, {1.0, 2.0});
        (void)KSubsets({1, 2}, -1);
        (void)buildCandidates({3, 3}, 3, {{1, 2}}, 7);
        (void)shiftColumns({{0, 1, 2, 3}}, {}, {});
        (void)shiftMoments({1.0}, {}, {}, {1});
        (void)evaluateBasis([](const RealVector&) { return 0.0; }, {}, {}, {3}, 3, {}, {}, {});
        (void)solveMixedColumns({}, {1.0}, {});
        (void)bestCoordinateBasis({}, {0.0, 1.0}, 3, 3, {}, 0);
    };
    std::string said;
    const std::string written = writtenToTheStreams([&] {
        refusedCalls();
        said = testing::outputOf(refusedCalls);
    });
    EXPECT_EQ(written, "");
    for (const char* message :
         {"Scalar product: wrong sizes!", "Coord product: wrong sizes!",
          "wrong sizes of the vectors in vectsum", "negative exponent does not yield integer\n",
          "zero^zero is not defined\n", "(LinSolve) The matrix A is singular.\n",
          "Size problem in the input of LinSolve.\n", "in KSubsets, k<0", "in buildCandidates, ",
          "in shiftColumns, ", "in shiftMoments, ", "in evaluateBasis, ", "in solveMixedColumns, ",
          "in bestCoordinateBasis, "}) {
        EXPECT_NE(said.find(message), std::string::npos) << message;
    }
}

}  // namespace
}  // namespace unionbound
