// The LP interface on COIN-OR Clp: one ClpSimplex per solver, kept between
// solves so that added columns start from the last basis.
#include <ClpSimplex.hpp>
#include <CoinFinite.hpp>

#include <cmath>
#include <limits>

#include "lp/lp_solver.hpp"

namespace unionbound::lp {

namespace {

// Clp writes infinite bounds as COIN_DBL_MAX.
double toClp(double bound) {
    if (bound == kInfinity) {
        return COIN_DBL_MAX;
    }
    if (bound == -kInfinity) {
        return -COIN_DBL_MAX;
    }
    return bound;
}

int clampToInt(std::int64_t value) {
    constexpr std::int64_t kLargest = std::numeric_limits<int>::max();
    return static_cast<int>(value < kLargest ? value : kLargest);
}

class ClpSolver final : public Solver {
  public:
    explicit ClpSolver(const Settings& settings) : settings_(settings) { reset(); }

    void setRows(const Rows& rows) override {
        reset();
        const auto count = static_cast<int>(rows.lower.size());
        std::vector<double> lower(rows.lower.size());
        std::vector<double> upper(rows.upper.size());
        for (std::size_t i = 0; i < lower.size(); ++i) {
            lower[i] = toClp(rows.lower[i]);
            upper[i] = toClp(rows.upper[i]);
        }
        const std::vector<CoinBigIndex> starts(rows.lower.size() + 1, 0);
        model_->addRows(count, lower.data(), upper.data(), starts.data(), nullptr, nullptr);
    }

    std::int32_t addColumns(const std::vector<Column>& columns) override {
        const std::int32_t first = columnCount();
        std::vector<double> lower, upper, cost, values;
        std::vector<int> rows;
        std::vector<CoinBigIndex> starts{0};
        for (const Column& column : columns) {
            lower.push_back(toClp(column.lower));
            upper.push_back(toClp(column.upper));
            cost.push_back(column.cost);
            rows.insert(rows.end(), column.rows.begin(), column.rows.end());
            values.insert(values.end(), column.values.begin(), column.values.end());
            starts.push_back(static_cast<CoinBigIndex>(rows.size()));
        }
        model_->addColumns(static_cast<int>(columns.size()), lower.data(), upper.data(),
                           cost.data(), starts.data(), rows.data(), values.data());
        return first;
    }

    void setColumnBounds(std::int32_t column, double lower, double upper) override {
        model_->setColumnBounds(column, toClp(lower), toClp(upper));
    }

    void setColumnCost(std::int32_t column, double cost) override {
        model_->setObjectiveCoefficient(column, cost);
    }

    void setSecondsLimit(double seconds) override { secondsLimit_ = seconds; }

    std::int32_t rowCount() const override { return model_->numberRows(); }
    std::int32_t columnCount() const override { return model_->numberColumns(); }

    Result solve() override {
        model_->setMaximumIterations(clampToInt(settings_.iterationLimit));
        // Counted from this call.
        model_->setMaximumWallSeconds(secondsLimit_ > 0.0 ? secondsLimit_ : COIN_DBL_MAX);
        // The first solve starts from the slack basis with the dual simplex;
        // later ones keep the basis, which added columns leave primal
        // feasible, and go on with the primal simplex. The work areas are
        // kept from one solve to the next (a third less time in the column
        // generation of the exact bounds); the model frees them at the end.
        constexpr int kKeepWorkAreas = 1;
        if (solved_) {
            model_->primal(1, kKeepWorkAreas);
        } else {
            model_->dual(0, kKeepWorkAreas);
        }
        solved_ = true;
        if (model_->status() == 4) {
            // Numerical trouble: once more from the slack basis.
            model_->allSlackBasis(true);
            model_->dual();
        }
        Result result;
        result.status = statusOf(model_->status());
        result.objective = model_->objectiveValue();
        result.iterations = model_->numberIterations();
        const double* x = model_->primalColumnSolution();
        const double* y = model_->dualRowSolution();
        result.columnValues.assign(x, x + model_->numberColumns());
        result.rowDuals.assign(y, y + model_->numberRows());
        return result;
    }

  private:
    static Status statusOf(int clpStatus) {
        switch (clpStatus) {
            case 0:
                return Status::optimal;
            case 1:
                return Status::infeasible;
            case 2:
                return Status::unbounded;
            case 3:
                return Status::stopped;
            default:
                return Status::failed;
        }
    }

    void reset() {
        model_ = std::make_unique<ClpSimplex>();
        model_->setLogLevel(0);
        model_->setOptimizationDirection(1.0);
        if (settings_.primalTolerance > 0.0) {
            model_->setPrimalTolerance(settings_.primalTolerance);
        }
        if (settings_.dualTolerance > 0.0) {
            model_->setDualTolerance(settings_.dualTolerance);
        }
        if (!settings_.libraryScaling) {
            model_->scaling(0);
        }
        solved_ = false;
    }

    Settings settings_;
    std::unique_ptr<ClpSimplex> model_;
    bool solved_ = false;
    double secondsLimit_ = 0.0;
};

}  // namespace

std::unique_ptr<Solver> makeSolver(const Settings& settings) {
    return std::make_unique<ClpSolver>(settings);
}

std::string describe(Status status) {
    switch (status) {
        case Status::optimal:
            return "optimal";
        case Status::infeasible:
            return "infeasible";
        case Status::unbounded:
            return "unbounded";
        case Status::stopped:
            return "stopped at a limit";
        case Status::failed:
            return "failed";
    }
    return "failed";
}

}  // namespace unionbound::lp
