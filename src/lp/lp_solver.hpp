// The linear-programming interface of the exact bounds: a program to
// minimise, held by a solver that keeps its last basis, so that a solve after
// added columns (column generation) starts from where the last one ended.
//
// Nothing a solver returns is taken on trust by the callers: its duals are
// only candidates, which the bounds that use them prove or reject on their
// own. The interface is small so that another LP library can stand behind it.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace unionbound::lp {

inline constexpr double kInfinity = std::numeric_limits<double>::infinity();

// One column: its cost, its bounds and its nonzero entries.
struct Column {
    double cost = 0.0;
    double lower = 0.0;
    double upper = kInfinity;
    std::vector<std::int32_t> rows;  // row numbers, each at most once
    std::vector<double> values;      // the entries of those rows
};

// The rows: lower[i] ≤ (row i)·x ≤ upper[i]; equal bounds make an equation.
struct Rows {
    std::vector<double> lower;
    std::vector<double> upper;
};

enum class Status {
    optimal,     // the solver claims an optimal basis
    infeasible,  // the solver claims that no x satisfies the rows and bounds
    unbounded,   // the solver claims that the objective has no lower bound
    stopped,     // an iteration or time limit ended the solve
    failed,      // numerical trouble, or a program the solver refused
};

// What a solve gave. For a minimisation, the reduced cost of column j is
// c_j - Σ_i rowDuals[i]·A_ij, non-negative at an optimum for a column at its
// lower bound. The values are the solver's: only claims.
struct Result {
    Status status = Status::failed;
    double objective = 0.0;
    std::vector<double> columnValues;
    std::vector<double> rowDuals;
    std::int64_t iterations = 0;
};

struct Settings {
    std::int64_t iterationLimit = 10'000'000;  // simplex iterations of one solve
    // How far a row or bound may be missed, and how negative a reduced cost
    // may be, at a claimed optimum; 0 keeps the library's own.
    double primalTolerance = 0.0;
    double dualTolerance = 0.0;
    // Whether the library scales the rows and columns on its own. A caller
    // that scaled them itself can turn it off, so that the tolerances hold
    // for its own rows and columns (a library's column scaling can let a
    // reduced cost of the caller's column miss its tolerance by its scale).
    bool libraryScaling = true;
};

class Solver {
  public:
    virtual ~Solver() = default;

    // Starts a new program with these rows and no columns.
    virtual void setRows(const Rows& rows) = 0;
    // Appends columns; returns the number of the first one added.
    virtual std::int32_t addColumns(const std::vector<Column>& columns) = 0;
    virtual void setColumnBounds(std::int32_t column, double lower, double upper) = 0;
    virtual void setColumnCost(std::int32_t column, double cost) = 0;
    virtual std::int32_t rowCount() const = 0;
    virtual std::int32_t columnCount() const = 0;
    // Wall seconds that each solve from now on may take before it ends
    // with Status::stopped; 0 for no limit.
    virtual void setSecondsLimit(double seconds) = 0;
    // Minimises, starting from the last basis where there is one.
    virtual Result solve() = 0;
};

// The solver of this build's LP library (COIN-OR Clp).
std::unique_ptr<Solver> makeSolver(const Settings& settings = {});

// Makes a fresh solver: how the exact methods are handed theirs, so that
// tests can hand them one that fails or lies.
using SolverFactory = std::function<std::unique_ptr<Solver>()>;

// "optimal", "infeasible", "unbounded", "stopped at a limit", "failed".
std::string describe(Status status);

}  // namespace unionbound::lp
