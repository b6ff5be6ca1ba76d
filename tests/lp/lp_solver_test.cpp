#include "lp/lp_solver.hpp"

#include <gtest/gtest.h>

namespace unionbound::lp {
namespace {

// The solver's numbers are claims; on these tiny programs they are exact to
// far better than this.
constexpr double kSolverAccuracy = 1e-9;

Column column(double cost, std::vector<std::int32_t> rows, std::vector<double> values) {
    Column c;
    c.cost = cost;
    c.rows = std::move(rows);
    c.values = std::move(values);
    return c;
}

// min -x - 2y subject to x + y ≤ 4, x + 3y ≤ 6, x, y ≥ 0: optimum at (3, 1)
// with value -5 and row duals (-1/2, -1/2).
TEST(LpSolver, FindsTheOptimumAndTheRowDualsOfASmallProgram) {
    auto solver = makeSolver();
    solver->setRows({{-kInfinity, -kInfinity}, {4.0, 6.0}});
    solver->addColumns({column(-1.0, {0, 1}, {1.0, 1.0}), column(-2.0, {0, 1}, {1.0, 3.0})});
    const Result result = solver->solve();
    ASSERT_EQ(result.status, Status::optimal);
    EXPECT_NEAR(result.objective, -5.0, kSolverAccuracy);
    EXPECT_NEAR(result.columnValues[0], 3.0, kSolverAccuracy);
    EXPECT_NEAR(result.columnValues[1], 1.0, kSolverAccuracy);
    // Reduced costs c - y·A vanish on the basic columns.
    EXPECT_NEAR(result.rowDuals[0], -0.5, kSolverAccuracy);
    EXPECT_NEAR(result.rowDuals[1], -0.5, kSolverAccuracy);
}

TEST(LpSolver, StartsFromTheLastBasisWhenColumnsAreAdded) {
    auto solver = makeSolver();
    // x = 1 as an equation; a first column of cost 2, then a cheaper one.
    solver->setRows({{1.0}, {1.0}});
    solver->addColumns({column(2.0, {0}, {1.0})});
    ASSERT_EQ(solver->solve().status, Status::optimal);
    EXPECT_EQ(solver->addColumns({column(1.0, {0}, {2.0})}), 1);
    const Result result = solver->solve();
    ASSERT_EQ(result.status, Status::optimal);
    EXPECT_NEAR(result.objective, 0.5, kSolverAccuracy);
    EXPECT_NEAR(result.rowDuals[0], 0.5, kSolverAccuracy);
    EXPECT_EQ(solver->columnCount(), 2);
}

TEST(LpSolver, SaysWhenNoPointSatisfiesTheRows) {
    auto solver = makeSolver();
    // x + y = -1 with x, y ≥ 0.
    solver->setRows({{-1.0}, {-1.0}});
    solver->addColumns({column(0.0, {0}, {1.0}), column(0.0, {0}, {1.0})});
    EXPECT_EQ(solver->solve().status, Status::infeasible);
}

TEST(LpSolver, FollowsChangedBoundsAndCosts) {
    auto solver = makeSolver();
    solver->setRows({{1.0}, {1.0}});
    solver->addColumns({column(1.0, {0}, {1.0}), column(3.0, {0}, {1.0})});
    ASSERT_EQ(solver->solve().status, Status::optimal);
    solver->setColumnBounds(0, 0.0, 0.25);
    Result result = solver->solve();
    ASSERT_EQ(result.status, Status::optimal);
    EXPECT_NEAR(result.objective, 0.25 + 3.0 * 0.75, kSolverAccuracy);
    solver->setColumnCost(1, -1.0);
    result = solver->solve();
    ASSERT_EQ(result.status, Status::optimal);
    EXPECT_NEAR(result.objective, -1.0, kSolverAccuracy);
}

TEST(LpSolver, StopsAtItsIterationLimit) {
    Settings settings;
    settings.iterationLimit = 0;
    auto solver = makeSolver(settings);
    solver->setRows({{-kInfinity, -kInfinity}, {4.0, 6.0}});
    solver->addColumns({column(-1.0, {0, 1}, {1.0, 1.0}), column(-2.0, {0, 1}, {1.0, 3.0})});
    EXPECT_EQ(solver->solve().status, Status::stopped);
}

TEST(LpSolver, GrowingProgramsReachTheOptimumOfAFreshSolveWithOrWithoutTheLibrarysScaling) {
    // min Σ (j − 3)²·x_j over the points j = 0 … 10 with Σ x_j = 1 and
    // Σ j·x_j/10 = 0.25, columns entering one at a time in a scrambled order
    // and the program solved after each, as column generation does: the
    // work the solver keeps between solves must follow the new columns.
    const std::int32_t order[] = {10, 0, 7, 1, 9, 4, 2, 8, 5, 3, 6};
    for (const bool scaling : {true, false}) {
        Settings settings;
        settings.libraryScaling = scaling;
        auto growing = makeSolver(settings);
        growing->setRows({{1.0, 0.25}, {1.0, 0.25}});
        std::vector<Column> entered;
        for (std::int32_t j : order) {
            const double point = static_cast<double>(j);
            entered.push_back(column((point - 3.0) * (point - 3.0), {0, 1}, {1.0, point / 10.0}));
            growing->addColumns({entered.back()});
            const Result grown = growing->solve();
            auto fresh = makeSolver(settings);
            fresh->setRows({{1.0, 0.25}, {1.0, 0.25}});
            fresh->addColumns(entered);
            const Result whole = fresh->solve();
            ASSERT_EQ(grown.status, whole.status) << "after point " << j;
            if (whole.status == Status::optimal) {
                EXPECT_NEAR(grown.objective, whole.objective, kSolverAccuracy)
                    << "after point " << j;
            }
        }
        // All points in: the mean 2.5 splits between 2 and 3, cost 0.5.
        const Result last = growing->solve();
        ASSERT_EQ(last.status, Status::optimal);
        EXPECT_NEAR(last.objective, 0.5, kSolverAccuracy) << "scaling " << scaling;
    }
}

}  // namespace
}  // namespace unionbound::lp
