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

}  // namespace
}  // namespace unionbound::lp
