// The exact bounds of a pass: against the full grid program, around the true
// probability of known distributions, on hand-checkable cases, on
// inconsistent data, and with solvers that fail or lie.
#include "exact/exact_bounds.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <sstream>
#include <thread>

#include "aggregation/passes.hpp"
#include "exact/certificate.hpp"
#include "exact/compact_lp.hpp"
#include "exact/full_grid.hpp"
#include "exact/point_lp.hpp"
#include "moments/moment_sweep.hpp"
#include "moments/subsets.hpp"
#include "support/distribution.hpp"

namespace unionbound {
namespace {

using testing::JointDistribution;
using testing::Outcome;

// The certified bounds are meant to be this close to the optimum.
constexpr double kTight = 1e-9;
// The intersection probabilities of a test distribution are rounded doubles,
// so its true union may sit this far outside the bounds of those doubles.
constexpr double kTruthRounding = 1e-13;

// Every pass l = 1 … n of the distribution's probabilities up to order m.
// The passes l of the probabilities up to order m (every l = 1 … n if none
// are named).
std::vector<PassProblem> passesOf(const RealVector& prob, std::int32_t n, std::int32_t m,
                                  IntVector ls = {}) {
    if (ls.empty()) {
        ls.resize(static_cast<std::size_t>(n));
        std::iota(ls.begin(), ls.end(), 1);
    }
    std::vector<PassDivision> divisions;
    for (std::int32_t l : ls) {
        IntMatrix pairs;
        for (std::int32_t c = 2; c <= n / l; ++c) {
            pairs.push_back({1, c});
        }
        divisions.push_back({l, pairs, IntVector(static_cast<std::size_t>(n / l), m)});
    }
    std::vector<PassProblem> problems;
    const std::vector<PassMoments> moments = binomialMomentsOfPasses(prob, n, m, divisions);
    for (std::size_t p = 0; p < divisions.size(); ++p) {
        problems.push_back(makePassProblem(n, divisions[p].l, m, moments[p].moments));
    }
    return problems;
}

std::vector<PassProblem> passesOf(const JointDistribution& distribution, std::int32_t m) {
    return passesOf(testing::intersectionProbabilities(distribution, m), distribution.n, m);
}

void expectAroundTheTruth(const ProvenInterval& bounds, double truth, const std::string& where) {
    if (bounds.upper.value) {
        EXPECT_GE(*bounds.upper.value, truth - kTruthRounding) << where;
    }
    if (bounds.lower.value) {
        EXPECT_LE(*bounds.lower.value, truth + kTruthRounding) << where;
    }
}

struct Mixture {
    std::int32_t n, m;
    int outcomes;
    double density;
    std::uint64_t seed;
};

TEST(ExactBounds, MatchTheFullGridProgramAndHoldTheTrueUnionOnSmallRandomPasses) {
    const Mixture mixtures[] = {{6, 3, 4, 0.3, 1},   {8, 5, 6, 0.4, 2},    {9, 2, 8, 0.2, 3},
                                {7, 1, 5, 0.3, 4},   {10, 4, 10, 0.15, 5}, {8, 3, 3, 0.6, 6},
                                {10, 3, 12, 0.1, 7}, {9, 6, 5, 0.35, 8}};
    for (const Mixture& mixture : mixtures) {
        std::mt19937_64 random(mixture.seed);
        const JointDistribution distribution =
            testing::randomMixture(mixture.n, mixture.outcomes, mixture.density, random);
        const double truth = testing::unionProbability(distribution);
        for (const PassProblem& problem : passesOf(distribution, mixture.m)) {
            const std::string where = "n=" + std::to_string(mixture.n) +
                                      " m=" + std::to_string(mixture.m) +
                                      " q=" + std::to_string(problem.lengths.size());
            const ProvenInterval bounds = exactPassBounds(problem);
            const testing::GridOptima grid = testing::solveFullGrid(problem);
            ASSERT_EQ(grid.status, lp::Status::optimal) << where;
            ASSERT_TRUE(bounds.upper.value && bounds.lower.value) << where << bounds.upper.why;
            EXPECT_FALSE(bounds.inconsistent) << where;
            EXPECT_NEAR(*bounds.upper.value, grid.largest, kTight) << where;
            EXPECT_NEAR(*bounds.lower.value, grid.smallest, kTight) << where;
            expectAroundTheTruth(bounds, truth, where);
        }
    }
}

TEST(ExactBounds, UpperBoundNeverExceedsTheStructuredBoundOfTheSamePass) {
    // The structured bound comes from dual feasible points of the same
    // maximisation, so the optimum is at most it, up to its own rounding.
    constexpr double kStructuredRounding = 1e-12;
    const Mixture mixtures[] = {{8, 3, 5, 0.3, 11},
                                {10, 3, 8, 0.2, 12},
                                {11, 5, 6, 0.3, 13},
                                {12, 3, 20, 0.1, 14},
                                {9, 5, 4, 0.5, 15}};
    for (const Mixture& mixture : mixtures) {
        std::mt19937_64 random(mixture.seed);
        const JointDistribution distribution =
            testing::randomMixture(mixture.n, mixture.outcomes, mixture.density, random);
        const RealVector prob = testing::intersectionProbabilities(distribution, mixture.m);
        const double truth = testing::unionProbability(distribution);
        std::vector<PassResult> passes;
        runPasses(prob, mixture.n, mixture.m,
                  [&](const PassResult& pass) { passes.push_back(pass); });
        ASSERT_EQ(passes.size(), static_cast<std::size_t>(mixture.n / 2 - mixture.m + 1));
        for (const PassResult& pass : passes) {
            const std::int32_t l = pass.l;
            const ProvenInterval bounds =
                exactPassBounds(makePassProblem(mixture.n, l, mixture.m, pass.moments));
            ASSERT_TRUE(bounds.upper.value && bounds.lower.value);
            EXPECT_LE(*bounds.upper.value, -pass.solution.value + kStructuredRounding)
                << "n=" << mixture.n << " m=" << mixture.m << " l=" << l;
            expectAroundTheTruth(bounds, truth, "structured");
        }
    }
}

// The optima of a pass's two programs, each by its own column generation.
struct ProgramOptima {
    double largest = 0.0, smallest = 0.0;
};

template <class Program>
ProgramOptima optimaOf(const PassProblem& problem, const std::string& where) {
    auto solver = lp::makeSolver(exactSolverSettings());
    Program program(problem, *solver, false);
    EXPECT_TRUE(program.solve(Goal::feasibility, 500).settled) << where;
    const GoalSolve most = program.solve(Goal::leastNoEvent, 500);
    const GoalSolve least = program.solve(Goal::mostNoEvent, 500);
    EXPECT_TRUE(most.settled && least.settled) << where;
    return {1.0 - most.result.objective, 1.0 + least.result.objective};
}

TEST(ExactBounds, LargerPassesReachTheSameOptimumWithCellsAndWithPointsEnteringByPricing) {
    // Two programs built from different columns agree on the optimum to
    // about the solver's tolerance.
    constexpr double kProgramsAgree = 1e-9;
    // A generation that settled leaves duals that miss the grid by little
    // more than the solver's tolerance (1e-10 on its reduced costs); one that
    // stopped early needs a repair of the size of the gap.
    constexpr double kRepairAtMost = 1e-9;
    // Passes with more than 4 subsequences are compared with their bounds
    // only: a point of many coordinates touches every row, too slow here.
    constexpr std::size_t kPointsUpTo = 4;
    const Mixture mixtures[] = {{48, 3, 15, 0.5, 21}, {40, 3, 20, 0.2, 22}, {26, 5, 12, 0.4, 23}};
    for (const Mixture& mixture : mixtures) {
        std::mt19937_64 random(mixture.seed);
        const JointDistribution distribution =
            testing::randomMixture(mixture.n, mixture.outcomes, mixture.density, random);
        const double truth = testing::unionProbability(distribution);
        for (const PassProblem& problem : passesOf(distribution, mixture.m)) {
            const std::size_t q = problem.lengths.size();
            if (problem.lengths[0] < mixture.m || q < 2) {
                continue;  // the passes the program runs: l = m … n/2
            }
            const std::string where = "n=" + std::to_string(mixture.n) + " q=" + std::to_string(q) +
                                      " l=" + std::to_string(problem.lengths[0]);
            const ExactPassResult result =
                solveExactPass(problem, [] { return lp::makeSolver(exactSolverSettings()); });
            ASSERT_TRUE(result.bounds.upper.value && result.bounds.lower.value) << where;
            EXPECT_LE(result.statistics.upperRepair, kRepairAtMost) << where;
            EXPECT_LE(result.statistics.lowerRepair, kRepairAtMost) << where;
            expectAroundTheTruth(result.bounds, truth, where);
            if (q > kPointsUpTo) {
                continue;
            }
            const ProgramOptima cells = optimaOf<CompactLp>(problem, where);
            const ProgramOptima points = optimaOf<PointLp>(problem, where);
            EXPECT_NEAR(cells.largest, points.largest, kProgramsAgree) << where;
            EXPECT_NEAR(cells.smallest, points.smallest, kProgramsAgree) << where;
            EXPECT_NEAR(*result.bounds.upper.value, std::min(cells.largest, 1.0), kTight) << where;
            EXPECT_NEAR(*result.bounds.lower.value, cells.smallest, kTight) << where;
        }
    }
}

TEST(ExactBounds, LongSubsequencesAreSolvedToDualsThatHoldAtEveryValuePoint) {
    // As above: a settled generation needs no more than this repair.
    constexpr double kRepairAtMost = 1e-9;
    // n = 200 events in 3 to 5 subsequences of 34 to 66: most values of X_1
    // stay out of the program until they price in.
    std::mt19937_64 random(24);
    const JointDistribution distribution = testing::randomMixture(200, 20, 1.0, random);
    const double truth = testing::unionProbability(distribution);
    for (const PassProblem& problem : passesOf(testing::intersectionProbabilities(distribution, 3),
                                               200, 3, {34, 40, 44, 50, 57, 66})) {
        const std::string where = "l=" + std::to_string(problem.lengths[0]);
        const ExactPassResult result =
            solveExactPass(problem, [] { return lp::makeSolver(exactSolverSettings()); });
        ASSERT_TRUE(result.bounds.upper.value && result.bounds.lower.value) << where;
        EXPECT_LE(result.statistics.upperRepair, kRepairAtMost) << where;
        EXPECT_LE(result.statistics.lowerRepair, kRepairAtMost) << where;
        expectAroundTheTruth(result.bounds, truth, where);
    }
}

JointDistribution disjointEvents(std::int32_t n) {
    JointDistribution distribution{n, {}};
    for (std::int32_t x = 0; x < n; ++x) {
        Outcome outcome{std::vector<bool>(static_cast<std::size_t>(n)), 0.02 * (x + 1)};
        outcome.occurs[static_cast<std::size_t>(x)] = true;
        distribution.outcomes.push_back(outcome);
    }
    return distribution;
}

JointDistribution identicalEvents(std::int32_t n, double p) {
    return {n, {{std::vector<bool>(static_cast<std::size_t>(n), true), p}}};
}

JointDistribution independentEvents(const RealVector& p) {
    const auto n = static_cast<std::int32_t>(p.size());
    JointDistribution distribution{n, {}};
    for (std::uint32_t mask = 0; mask < (1u << n); ++mask) {
        Outcome outcome{std::vector<bool>(static_cast<std::size_t>(n)), 1.0};
        for (std::int32_t x = 0; x < n; ++x) {
            const bool occurs = ((mask >> x) & 1u) != 0;
            outcome.occurs[static_cast<std::size_t>(x)] = occurs;
            outcome.weight *=
                occurs ? p[static_cast<std::size_t>(x)] : 1.0 - p[static_cast<std::size_t>(x)];
        }
        distribution.outcomes.push_back(outcome);
    }
    return distribution;
}

TEST(ExactBounds, DisjointEventsGiveTheSumOfTheirProbabilitiesAsTheUpperBound) {
    // P(A_x) = 0.02·x, x = 1 … 7: S1 = 1.12 > 1 would be clipped, so n = 6 (0.42).
    const JointDistribution distribution = disjointEvents(6);
    const double s1 = 0.42;
    for (const PassProblem& problem : passesOf(distribution, 3)) {
        const ProvenInterval bounds = exactPassBounds(problem);
        ASSERT_TRUE(bounds.upper.value && bounds.lower.value);
        EXPECT_NEAR(*bounds.upper.value, s1, kTight);
        // With at most two subsequences no pair is left free: the union is S1.
        if (problem.lengths.size() <= 2) {
            EXPECT_NEAR(*bounds.lower.value, s1, kTight);
        }
        expectAroundTheTruth(bounds, s1, "disjoint");
    }
}

TEST(ExactBounds, IdenticalEventsGiveTheProbabilityOfOneOfThem) {
    for (std::int32_t m : {1, 2, 3, 5}) {
        for (const PassProblem& problem : passesOf(identicalEvents(7, 0.37), m)) {
            const ProvenInterval bounds = exactPassBounds(problem);
            ASSERT_TRUE(bounds.upper.value && bounds.lower.value);
            // With m = 1 only the means are known; from m = 2 on the counts
            // are 0 or full and move together.
            if (m >= 2) {
                EXPECT_NEAR(*bounds.upper.value, 0.37, kTight) << "m=" << m;
            }
            EXPECT_NEAR(*bounds.lower.value, 0.37, kTight) << "m=" << m;
            expectAroundTheTruth(bounds, 0.37, "identical");
        }
    }
}

TEST(ExactBounds, IndependentEventsAreBracketedByTheBoundsOfEveryPass) {
    const RealVector p = {0.1, 0.05, 0.2, 0.15, 0.08, 0.12, 0.3};
    double none = 1.0;
    for (double v : p) {
        none *= 1.0 - v;
    }
    for (std::int32_t m : {2, 3, 4}) {
        for (const PassProblem& problem : passesOf(independentEvents(p), m)) {
            const ProvenInterval bounds = exactPassBounds(problem);
            ASSERT_TRUE(bounds.upper.value && bounds.lower.value);
            expectAroundTheTruth(bounds, 1.0 - none, "independent m=" + std::to_string(m));
        }
    }
}

TEST(ExactBounds, DataNoDistributionCanHaveAreProvenInconsistentAndNamed) {
    // Disjoint events with every pair probability raised to 1, far above the
    // probabilities of single events (0.02 … 0.12).
    RealVector prob = testing::intersectionProbabilities(disjointEvents(6), 2);
    for (std::size_t i = 6; i < prob.size(); ++i) {
        prob[i] = 1.0;
    }
    for (const PassProblem& problem : passesOf(prob, 6, 2)) {
        const ProvenInterval bounds = exactPassBounds(problem);
        EXPECT_TRUE(bounds.inconsistent) << "q=" << problem.lengths.size();
        EXPECT_NE(bounds.inconsistency.find("no joint distribution"), std::string::npos);
        EXPECT_NE(bounds.inconsistency.find("E[C(X_1,"), std::string::npos) << bounds.inconsistency;
        EXPECT_FALSE(bounds.upper.value || bounds.lower.value);
    }
    // An order above the length of a subsequence: that moment can only be 0.
    const PassProblem shortSubsequences{
        2, {1, 1}, {1.0, 0.2, 0.3, 0.2, 0.0, 0.1}, RealVector(6, 0.0)};
    const ProvenInterval bounds = exactPassBounds(shortSubsequences);
    EXPECT_TRUE(bounds.inconsistent);
    EXPECT_NE(bounds.inconsistency.find("E[C(X_1,2)] is 0.3"), std::string::npos)
        << bounds.inconsistency;
}

TEST(ExactBounds, TheDistanceProgramGivesAFarkasCertificateExactlyWhenTheDataAreOutOfReach) {
    // Consistent data lie at distance 0 from the attainable moments.
    constexpr double kAtTheMoments = 1e-6;
    RealVector raised = testing::intersectionProbabilities(disjointEvents(6), 2);
    for (std::size_t i = 6; i < raised.size(); ++i) {
        raised[i] = 1.0;
    }
    const std::pair<RealVector, bool> cases[] = {
        {testing::intersectionProbabilities(disjointEvents(6), 2), false}, {raised, true}};
    for (const auto& [prob, outOfReach] : cases) {
        for (const PassProblem& problem : passesOf(prob, 6, 2)) {
            const RealVector counts = passTermCounts(problem);
            RealVector widening(counts.size()), allowed(counts.size());
            for (std::size_t i = 0; i < counts.size(); ++i) {
                widening[i] = counts[i] * kRoundingOfTheData;
                allowed[i] = problem.errors[i] + widening[i];
            }
            // Both programs, whichever q makePassProgram would give them.
            for (const bool points : {false, true}) {
                auto solver = lp::makeSolver(exactSolverSettings());
                std::unique_ptr<PassProgram> program;
                if (points) {
                    program = std::make_unique<PointLp>(problem, *solver, true, allowed);
                } else {
                    program = std::make_unique<CompactLp>(problem, *solver, true, allowed);
                }
                const GoalSolve solve = program->solve(Goal::distance, 500);
                ASSERT_EQ(solve.result.status, lp::Status::optimal);
                RealVector ray = program->momentDuals(solve.result);
                for (double& v : ray) {
                    v = -v;
                }
                const bool proven = GridCheck(problem).provesNoDistribution(ray, widening);
                const std::string where =
                    "q=" + std::to_string(problem.lengths.size()) + (points ? " points" : " cells");
                EXPECT_EQ(proven, outOfReach) << where;
                if (outOfReach) {
                    EXPECT_GT(solve.result.objective, 1.0) << where;
                } else {
                    EXPECT_LT(solve.result.objective, kAtTheMoments) << where;
                }
            }
        }
    }
}

TEST(ExactBounds, DataOffOnlyByTheRoundingAllowedForThemAreNotCalledInconsistent) {
    // A pair probability of -5e-10, within the reader's range: the moments
    // miss the attainable ones by less than 1e-9 per probability.
    RealVector prob = testing::intersectionProbabilities(disjointEvents(6), 2);
    prob[static_cast<std::size_t>(subsetPosition(6, 2, {1, 2}))] = -5e-10;
    for (const PassProblem& problem : passesOf(prob, 6, 2)) {
        const ProvenInterval bounds = exactPassBounds(problem);
        EXPECT_FALSE(bounds.inconsistent) << bounds.inconsistency;
        EXPECT_TRUE(bounds.upper.value || !bounds.upper.why.empty());
    }
}

// The solver of this build, handing on its work, then failing, stopping or
// lying on the solves the lie applies to: all of them, those of both sides
// (the goals that fix the artificial columns at 0), or those of the lower
// side only (the goal with a negative cost, min −P(no event)), where a
// badly conditioned pass has called a feasible program infeasible.
enum class Lie {
    none,
    stops,
    fails,
    callsItInfeasible,
    zeroDuals,
    scaledDuals,
    noisyDuals,
    nanDuals,
    shortDuals
};
enum class Solves { all, sides, lowerSide };

class LyingSolver final : public lp::Solver {
  public:
    LyingSolver(Lie lie, Solves solves, std::uint64_t seed)
        : lie_(lie),
          solves_(solves),
          random_(seed),
          inner_(lp::makeSolver(exactSolverSettings())) {}
    void setRows(const lp::Rows& rows) override { inner_->setRows(rows); }
    std::int32_t addColumns(const std::vector<lp::Column>& columns) override {
        for (const lp::Column& column : columns) {
            negative_.push_back(column.cost < 0.0);
            fixed_.push_back(column.lower == 0.0 && column.upper == 0.0);
        }
        return inner_->addColumns(columns);
    }
    void setColumnBounds(std::int32_t column, double lower, double upper) override {
        fixed_[static_cast<std::size_t>(column)] = lower == 0.0 && upper == 0.0;
        inner_->setColumnBounds(column, lower, upper);
    }
    void setColumnCost(std::int32_t column, double cost) override {
        negative_[static_cast<std::size_t>(column)] = cost < 0.0;
        inner_->setColumnCost(column, cost);
    }
    void setSecondsLimit(double seconds) override { inner_->setSecondsLimit(seconds); }
    std::int32_t rowCount() const override { return inner_->rowCount(); }
    std::int32_t columnCount() const override { return inner_->columnCount(); }
    lp::Result solve() override {
        lp::Result result = inner_->solve();
        const bool lowerSide =
            std::find(negative_.begin(), negative_.end(), true) != negative_.end();
        const bool aSide = std::find(fixed_.begin(), fixed_.end(), true) != fixed_.end();
        if ((solves_ == Solves::lowerSide && !lowerSide) || (solves_ == Solves::sides && !aSide)) {
            return result;
        }
        std::uniform_real_distribution<double> noise(-1e-3, 1e-3);
        switch (lie_) {
            case Lie::none:
                break;
            case Lie::stops:
                result.status = lp::Status::stopped;
                break;
            case Lie::fails:
                result.status = lp::Status::failed;
                break;
            case Lie::callsItInfeasible:
                result.status = lp::Status::infeasible;
                break;
            case Lie::zeroDuals:
                result.rowDuals.assign(result.rowDuals.size(), 0.0);
                break;
            case Lie::scaledDuals:
                for (double& y : result.rowDuals)
                    y *= 1.7;
                break;
            case Lie::noisyDuals:
                for (double& y : result.rowDuals)
                    y += noise(random_);
                break;
            case Lie::nanDuals:
                result.rowDuals[0] = std::nan("");
                break;
            case Lie::shortDuals:
                result.rowDuals.pop_back();
                break;
        }
        return result;
    }

  private:
    Lie lie_;
    Solves solves_;
    std::mt19937_64 random_;
    std::vector<bool> negative_;
    std::vector<bool> fixed_;
    std::unique_ptr<lp::Solver> inner_;
};

TEST(ExactBounds, SolversThatFailStopOrLieNeverYieldAnUnprovenNumber) {
    // Each lie, and the words of the reason where it leaves no optimum.
    const std::pair<Lie, const char*> lies[] = {
        {Lie::stops, "stopped at its iteration or time limit"},
        {Lie::fails, "failed"},
        {Lie::callsItInfeasible, "found no distribution"},
        {Lie::shortDuals, "failed"},
        {Lie::zeroDuals, nullptr},
        {Lie::scaledDuals, nullptr},
        {Lie::noisyDuals, nullptr},
        {Lie::nanDuals, nullptr}};
    std::mt19937_64 random(31);
    const JointDistribution distribution = testing::randomMixture(8, 6, 0.3, random);
    const double truth = testing::unionProbability(distribution);
    for (const auto& [lie, words] : lies) {
        for (const PassProblem& problem : passesOf(distribution, 3)) {
            const ProvenInterval bounds = exactPassBounds(problem, [lie = lie] {
                return std::make_unique<LyingSolver>(lie, Solves::all, 5);
            });
            const std::string where = "lie " + std::to_string(static_cast<int>(lie));
            EXPECT_FALSE(bounds.inconsistent) << where;
            expectAroundTheTruth(bounds, truth, where);
            if (words != nullptr) {
                EXPECT_FALSE(bounds.upper.value || bounds.lower.value) << where;
                EXPECT_NE(bounds.upper.why.find(words), std::string::npos) << bounds.upper.why;
                EXPECT_NE(bounds.lower.why.find(words), std::string::npos) << bounds.lower.why;
            }
            // No multipliers but the constant: g = 1 everywhere proves only 1.
            if (lie == Lie::zeroDuals) {
                EXPECT_EQ(bounds.upper.value.value_or(-1.0), 1.0) << where;
            }
        }
    }
}

ExactAttempt faultyAttempt(Lie lie, Solves solves) {
    return {[=] { return std::make_unique<LyingSolver>(lie, solves, 7); }, false};
}

TEST(ExactBounds, ASideTheFirstAttemptLeavesUnprovenOrLooseIsProvenByALaterOne) {
    // The faults of the attempts before the sound ones, and the attempt whose
    // value each side keeps (-1: none). Noisy duals prove a loose value, which
    // a sound attempt beats (on the lower side, where no pass here has the
    // smallest union 0 that would make the noisy value tight by clamping); a
    // side the faults leave alone keeps attempt 0. Noisy duals on both sides
    // may prove the largest union 1 already, tight by clamping: either
    // attempt may be kept there, but the value must be the sound one.
    constexpr std::int32_t kEither = -2;
    struct Case {
        const char* name;
        std::vector<std::pair<Lie, Solves>> faulty;
        bool soundAfter;  // a sound attempt follows them
        std::int32_t upperKept, lowerKept;
        const char* words;  // the reason given where no value is kept
    };
    const Case cases[] = {
        {"stops", {{Lie::stops, Solves::all}}, true, 1, 1, nullptr},
        {"lower infeasible", {{Lie::callsItInfeasible, Solves::lowerSide}}, true, 0, 1, nullptr},
        {"noisy lower duals", {{Lie::noisyDuals, Solves::lowerSide}}, true, 0, 1, nullptr},
        {"noisy duals", {{Lie::noisyDuals, Solves::sides}}, true, kEither, kEither, nullptr},
        {"two faults",
         {{Lie::stops, Solves::all}, {Lie::callsItInfeasible, Solves::all}},
         true,
         2,
         2,
         nullptr},
        {"no sound attempt",
         {{Lie::stops, Solves::all}, {Lie::stops, Solves::all}},
         false,
         -1,
         -1,
         "stopped at its iteration or time limit"}};
    std::mt19937_64 random(51);
    const JointDistribution distribution = testing::randomMixture(8, 6, 0.3, random);
    const double truth = testing::unionProbability(distribution);
    for (const Case& test : cases) {
        std::vector<ExactAttempt> attempts;
        for (const auto& [fault, solves] : test.faulty) {
            attempts.push_back(faultyAttempt(fault, solves));
        }
        if (test.soundAfter) {
            attempts.push_back(faultyAttempt(Lie::none, Solves::all));
        }
        for (const PassProblem& problem : passesOf(distribution, 3)) {
            const std::string where =
                std::string(test.name) + " q=" + std::to_string(problem.lengths.size());
            const ExactPassResult result = solveExactPass(problem, attempts);
            const ProvenInterval& bounds = result.bounds;
            if (test.upperKept != kEither) {
                EXPECT_EQ(result.statistics.upperKept, test.upperKept) << where;
                EXPECT_EQ(result.statistics.lowerKept, test.lowerKept) << where;
            }
            expectAroundTheTruth(bounds, truth, where);
            if (!test.soundAfter) {
                EXPECT_FALSE(bounds.upper.value || bounds.lower.value) << where;
                EXPECT_NE(bounds.upper.why.find(test.words), std::string::npos) << bounds.upper.why;
                EXPECT_NE(bounds.lower.why.find(test.words), std::string::npos) << bounds.lower.why;
                continue;
            }
            const testing::GridOptima grid = testing::solveFullGrid(problem);
            ASSERT_TRUE(bounds.upper.value && bounds.lower.value) << where << bounds.lower.why;
            EXPECT_NEAR(*bounds.upper.value, grid.largest, kTight) << where;
            EXPECT_NEAR(*bounds.lower.value, grid.smallest, kTight) << where;
        }
    }
}

TEST(ExactBounds, DefaultAttemptsKeepTheFirstAttemptsValuesWhereTheyAreTight) {
    // The first rung is the single solver of exactSolverSettings(): where it
    // proves both sides within 1e-9 of its claims, no other attempt is made
    // and the values are the same doubles.
    const Mixture mixtures[] = {{9, 3, 6, 0.3, 61}, {12, 4, 10, 0.2, 62}, {26, 5, 12, 0.4, 23}};
    int tightSides = 0;
    for (const Mixture& mixture : mixtures) {
        std::mt19937_64 random(mixture.seed);
        const JointDistribution distribution =
            testing::randomMixture(mixture.n, mixture.outcomes, mixture.density, random);
        for (const PassProblem& problem : passesOf(distribution, mixture.m)) {
            const std::string where =
                "n=" + std::to_string(mixture.n) + " l=" + std::to_string(problem.lengths[0]);
            const ExactPassResult first =
                solveExactPass(problem, [] { return lp::makeSolver(exactSolverSettings()); });
            const ExactPassResult ladder = solveExactPass(problem, exactSolverAttempts());
            const ExactPassStatistics& s = first.statistics;
            if (first.bounds.upper.value &&
                std::fabs(*first.bounds.upper.value - s.claimedUpper) <= kTight) {
                ++tightSides;
                EXPECT_EQ(ladder.statistics.upperAttempts, 1) << where;
                EXPECT_EQ(ladder.bounds.upper.value, first.bounds.upper.value) << where;
            }
            if (first.bounds.lower.value &&
                std::fabs(*first.bounds.lower.value - s.claimedLower) <= kTight) {
                ++tightSides;
                EXPECT_EQ(ladder.statistics.lowerAttempts, 1) << where;
                EXPECT_EQ(ladder.bounds.lower.value, first.bounds.lower.value) << where;
            }
        }
    }
    EXPECT_GT(tightSides, 0);
}

TEST(ExactBounds, MalformedProblemsGiveNoValuesAndSayWhatIsWrong) {
    const PassProblem good = passesOf(identicalEvents(4, 0.3), 2)[1];
    struct Bad {
        PassProblem problem;
        const char* words;
    };
    std::vector<Bad> cases;
    cases.push_back({{0, good.lengths, good.moments, good.errors}, "order m is 0"});
    cases.push_back({{2, {}, good.moments, good.errors}, "no subsequences"});
    cases.push_back({{2, {2, 0}, good.moments, good.errors}, "subsequence 2 has length 0"});
    cases.push_back({{2, good.lengths, RealVector(3, 1.0), good.errors}, "moments and"});
    PassProblem notANumber = good;
    notANumber.moments[2] = std::nan("");
    cases.push_back({notANumber, "not a finite number"});
    PassProblem noTotal = good;
    noTotal.moments[0] = 0.9;
    cases.push_back({noTotal, "total probability 1"});
    for (const Bad& bad : cases) {
        const ProvenInterval bounds = exactPassBounds(bad.problem);
        EXPECT_FALSE(bounds.upper.value || bounds.lower.value);
        EXPECT_NE(bounds.upper.why.find(bad.words), std::string::npos) << bounds.upper.why;
    }
}

TEST(ExactBounds, DoNotDependOnHowManyPassesRunAtOnce) {
    std::mt19937_64 random(41);
    const std::vector<PassProblem> problems =
        passesOf(testing::randomMixture(9, 7, 0.3, random), 3);
    std::vector<ProvenInterval> alone;
    for (const PassProblem& problem : problems) {
        alone.push_back(exactPassBounds(problem));
    }
    std::vector<ProvenInterval> together(problems.size());
    std::thread other([&] {
        for (std::size_t p = 1; p < problems.size(); p += 2)
            together[p] = exactPassBounds(problems[p]);
    });
    for (std::size_t p = 0; p < problems.size(); p += 2) {
        together[p] = exactPassBounds(problems[p]);
    }
    other.join();
    for (std::size_t p = 0; p < problems.size(); ++p) {
        EXPECT_EQ(alone[p].upper.value, together[p].upper.value) << p;
        EXPECT_EQ(alone[p].lower.value, together[p].lower.value) << p;
    }
}

}  // namespace
}  // namespace unionbound
