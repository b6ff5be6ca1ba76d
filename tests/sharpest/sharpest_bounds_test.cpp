#include "sharpest/sharpest_bounds.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "generator/generators.hpp"
#include "generator/probability_sink.hpp"
#include "moments/subsets.hpp"
#include "sharpest/lattice_interior_point.hpp"
#include "sharpest/memory_plan.hpp"
#include "sharpest/outcome_lattice.hpp"
#include "support/distribution.hpp"

namespace unionbound {
namespace {

using testing::JointDistribution;
using testing::Outcome;

// The sharpest bounds are promised within this of the optimum.
constexpr double kTight = 1e-9;
// The whole LP's claims on at most 2^7 outcomes, held against the column
// generation's proven values: the LP library's tolerances leave about 1e-11.
constexpr double kWholeAgreement = 1e-9;

// A mixture whose weights are multiples of 1/1024, so that its intersection
// probabilities and its union are exact doubles: a proven bound must then
// lie on the right side of the truth with no slack at all.
JointDistribution dyadicMixture(std::int32_t n, int count, double density,
                                std::mt19937_64& random) {
    std::uniform_int_distribution<int> share(1, 1024 / count - 1);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    JointDistribution distribution{n, {}};
    int left = 1024;
    for (int k = 0; k < count; ++k) {
        const int units = k + 1 == count ? left : share(random);
        left -= units;
        Outcome outcome{std::vector<bool>(static_cast<std::size_t>(n)), units / 1024.0};
        for (std::int32_t x = 0; x < n; ++x) {
            outcome.occurs[static_cast<std::size_t>(x)] = unit(random) < density;
        }
        distribution.outcomes.push_back(outcome);
    }
    return distribution;
}

// Outcomes from 0/1 rows with weights.
JointDistribution fromRows(std::int32_t n,
                           const std::vector<std::pair<std::vector<int>, double>>& rows) {
    JointDistribution distribution{n, {}};
    for (const auto& [occurs, weight] : rows) {
        Outcome outcome{std::vector<bool>(static_cast<std::size_t>(n)), weight};
        for (std::int32_t x = 0; x < n; ++x) {
            outcome.occurs[static_cast<std::size_t>(x)] = occurs[static_cast<std::size_t>(x)] != 0;
        }
        distribution.outcomes.push_back(outcome);
    }
    return distribution;
}

// Independent events: all 2^n outcomes with product weights (exact for
// dyadic probabilities).
JointDistribution independent(const std::vector<double>& p) {
    const auto n = static_cast<std::int32_t>(p.size());
    JointDistribution distribution{n, {}};
    for (std::uint32_t omega = 0; omega < (1U << n); ++omega) {
        Outcome outcome{std::vector<bool>(p.size()), 1.0};
        for (std::size_t x = 0; x < p.size(); ++x) {
            outcome.occurs[x] = (omega >> x & 1U) != 0;
            outcome.weight *= outcome.occurs[x] ? p[x] : 1.0 - p[x];
        }
        distribution.outcomes.push_back(outcome);
    }
    return distribution;
}

// The whole problem, every outcome a column, built from the subset list
// alone (not from the library's rows), and solved on both sides.
struct WholeOptimum {
    double largest;
    double smallest;
};
WholeOptimum wholeOptimum(std::int32_t n, std::int32_t m, const RealVector& prob) {
    const IntMatrix subsets = allSubsets(n, m);
    auto solver = lp::makeSolver();
    lp::Rows rows{{1.0}, {1.0}};
    rows.lower.insert(rows.lower.end(), prob.begin(), prob.end());
    rows.upper.insert(rows.upper.end(), prob.begin(), prob.end());
    solver->setRows(rows);
    std::vector<lp::Column> columns;
    for (std::uint32_t omega = 0; omega < (1U << n); ++omega) {
        lp::Column column;
        column.cost = omega == 0 ? 0.0 : -1.0;
        column.rows.push_back(0);
        for (std::size_t k = 0; k < subsets.size(); ++k) {
            bool inside = true;
            for (std::int32_t event : subsets[k]) {
                inside = inside && (omega >> (event - 1) & 1U) != 0;
            }
            if (inside) {
                column.rows.push_back(static_cast<std::int32_t>(k + 1));
            }
        }
        column.values.assign(column.rows.size(), 1.0);
        columns.push_back(column);
    }
    solver->addColumns(columns);
    const lp::Result largest = solver->solve();
    for (std::int32_t j = 1; j < solver->columnCount(); ++j) {
        solver->setColumnCost(j, 1.0);
    }
    const lp::Result smallest = solver->solve();
    EXPECT_EQ(largest.status, lp::Status::optimal);
    EXPECT_EQ(smallest.status, lp::Status::optimal);
    return {-largest.objective, smallest.objective};
}

void expectAroundTheTruth(const ProvenInterval& interval, double truth, const std::string& what) {
    ASSERT_TRUE(interval.upper.value.has_value()) << what << ": " << interval.upper.why;
    ASSERT_TRUE(interval.lower.value.has_value()) << what << ": " << interval.lower.why;
    EXPECT_GE(*interval.upper.value, truth) << what;
    EXPECT_LE(*interval.lower.value, truth) << what;
}

struct MixtureCase {
    std::int32_t n;
    std::int32_t m;
    double density;
    unsigned seed;
};
const MixtureCase kMixtures[] = {
    {3, 1, 0.5, 1}, {4, 2, 0.6, 2}, {5, 2, 0.5, 3}, {5, 3, 0.7, 4}, {6, 2, 0.4, 5},
    {6, 3, 0.5, 6}, {7, 2, 0.5, 7}, {7, 3, 0.6, 8}, {7, 4, 0.8, 9}, {7, 7, 0.5, 10},
};

// Dense data, every intersection positive: independent events with
// random probabilities, or a mixture of many random outcomes.
JointDistribution denseData(std::int32_t n, bool independentEvents, std::mt19937_64& random) {
    std::uniform_real_distribution<double> unit(0.05, 0.6);
    if (independentEvents) {
        std::vector<double> p(static_cast<std::size_t>(n));
        for (double& value : p) {
            value = unit(random);
        }
        return independent(p);
    }
    return testing::randomMixture(n, 4 << n, 0.4, random);
}

// The ways of solving: column generation over the lattice and over the
// sets of events, and the interior-point method.
struct Way {
    SharpestMethod method;
    SharpestPricing pricing;
    const char* name;
};
constexpr Way kWays[] = {
    {SharpestMethod::columnGeneration, SharpestPricing::lattice, " (columns, lattice)"},
    {SharpestMethod::columnGeneration, SharpestPricing::branchAndBound, " (columns, event sets)"},
    {SharpestMethod::interiorPoint, SharpestPricing::lattice, " (interior point)"},
};

TEST(SharpestBounds, MatchTheWholeProblemOnBothSidesAndEncloseTheTruthByEveryWay) {
    for (const Way& way : kWays) {
        SharpestOptions options;
        options.method = way.method;
        options.pricing = way.pricing;
        const SharpestMethod method = way.method;
        const std::string by = way.name;
        for (const MixtureCase& c : kMixtures) {
            std::mt19937_64 random(c.seed);
            const JointDistribution distribution = dyadicMixture(c.n, 8, c.density, random);
            const RealVector prob = testing::intersectionProbabilities(distribution, c.m);
            const std::string what = "n=" + std::to_string(c.n) + " m=" + std::to_string(c.m) + by;
            const ProvenInterval interval = sharpestBounds(c.n, c.m, prob, options);
            expectAroundTheTruth(interval, testing::unionProbability(distribution), what);
            const WholeOptimum whole = wholeOptimum(c.n, c.m, prob);
            EXPECT_NEAR(*interval.upper.value, whole.largest, kWholeAgreement) << what;
            EXPECT_NEAR(*interval.lower.value, whole.smallest, kWholeAgreement) << what;
        }
        for (std::int32_t m : {2, 3, 4}) {
            for (bool independentEvents : {true, false}) {
                std::mt19937_64 random(static_cast<std::uint64_t>(10 * m) + independentEvents);
                const JointDistribution distribution = denseData(8, independentEvents, random);
                const RealVector prob = testing::intersectionProbabilities(distribution, m);
                const std::string what = std::string(independentEvents ? "independent" : "dense") +
                                         " m=" + std::to_string(m) + by;
                const SharpestRun run = sharpestBoundsInDetail(8, m, prob, options);
                EXPECT_EQ(run.method, method) << what;
                expectAroundTheTruth(run.interval, testing::unionProbability(distribution), what);
                const WholeOptimum whole = wholeOptimum(8, m, prob);
                EXPECT_NEAR(*run.interval.upper.value, whole.largest, kWholeAgreement) << what;
                EXPECT_NEAR(*run.interval.lower.value, whole.smallest, kWholeAgreement) << what;
                EXPECT_LE(*run.upper.distance, kWholeAgreement) << what;
                EXPECT_LE(*run.lower.distance, kWholeAgreement) << what;
            }
        }
    }
}

// A distance printed rests on the points the interior-point method moved
// onto the rows: each must meet the data, so that its probability of the
// union lies inside the sharpest interval.
TEST(LatticeInteriorPoint, MovesPointsOntoTheRowsThatStayInsideTheSharpestInterval) {
    for (std::int32_t m : {2, 3}) {
        for (bool independentEvents : {true, false}) {
            std::mt19937_64 random(static_cast<std::uint64_t>(20 * m) + independentEvents);
            const JointDistribution distribution = denseData(8, independentEvents, random);
            const RealVector prob = testing::intersectionProbabilities(distribution, m);
            const WholeOptimum whole = wholeOptimum(8, m, prob);
            const OutcomeRows rows(8, m);
            std::vector<double> targets{1.0};
            targets.insert(targets.end(), prob.begin(), prob.end());
            const std::vector<std::uint8_t> nothingExcluded(rows.outcomeCount(), 0);
            for (double cost : {-1.0, 1.0}) {
                const std::string what = std::string(independentEvents ? "independent" : "dense") +
                                         " m=" + std::to_string(m) + " cost " +
                                         std::to_string(cost);
                LatticeInteriorPoint method(rows, targets, nothingExcluded, cost);
                int moved = 0;
                method.run(InteriorPointSettings{}, [&](const InteriorPointIterate& point) {
                    if (point.metObjective) {
                        ++moved;
                        const double unionProbability = cost * *point.metObjective;
                        EXPECT_LE(point.metRowResidual, kTight) << what;
                        EXPECT_LE(unionProbability, whole.largest + kWholeAgreement) << what;
                        EXPECT_GE(unionProbability, whole.smallest - kWholeAgreement) << what;
                    }
                    return true;
                });
                EXPECT_GT(moved, 0) << what;
            }
        }
    }
}

// Mehrotra's start leaves the upper side's slacks nearly 0 (its costs lie
// almost in the rows' span) unless they move by at least the largest cost;
// on clustered events of n = 12 the upper side then takes 35 iterations
// instead of 20, and on n = 24 it does not converge in 300.
TEST(LatticeInteriorPoint, ConvergesOnTheUpperSideOfClusteredEventsInFewIterations) {
    constexpr std::int32_t kN = 12;
    constexpr std::int32_t kM = 3;
    constexpr std::int32_t kFewIterations = 27;  // between the two
    std::ostringstream text;
    {
        ProbabilitySink sink(text);
        writeClusteredProbabilities(randomClusteredEvents({kN, 1, 4}), kM, sink);
    }
    std::istringstream numbers(text.str());
    std::vector<double> targets{1.0};
    for (double p = 0.0; numbers >> p;) {
        targets.push_back(p);
    }
    const OutcomeRows rows(kN, kM);
    ASSERT_EQ(targets.size(), static_cast<std::size_t>(rows.rowCount()));
    const std::vector<std::uint8_t> nothingExcluded(rows.outcomeCount(), 0);
    LatticeInteriorPoint upper(rows, targets, nothingExcluded, -1.0);
    std::int32_t iterations = 0;
    EXPECT_EQ(upper.run(InteriorPointSettings{},
                        [&](const InteriorPointIterate& point) {
                            iterations = point.iteration;
                            return true;
                        }),
              InteriorPointEnd::converged);
    EXPECT_LE(iterations, kFewIterations);
}

TEST(SharpestBounds, ProveValidBoundsAndDistancesWhenStoppedAfterAnyRound) {
    std::mt19937_64 random(7);
    const JointDistribution distribution = denseData(8, false, random);
    const RealVector prob = testing::intersectionProbabilities(distribution, 3);
    const WholeOptimum whole = wholeOptimum(8, 3, prob);
    for (const Way& way : kWays) {
        SharpestOptions options;
        options.method = way.method;
        options.pricing = way.pricing;
        const std::int32_t rounds = sharpestBoundsInDetail(8, 3, prob, options).rounds;
        ASSERT_GT(rounds, 2);
        for (std::int32_t asks = 0; asks <= rounds + 1; ++asks) {
            std::int32_t asked = 0;
            options.stopRequested = [&] { return asked++ >= asks; };
            const SharpestRun run = sharpestBoundsInDetail(8, 3, prob, options);
            const std::string what = "stopped at ask " + std::to_string(asks) + " of " +
                                     std::to_string(rounds) + way.name;
            ASSERT_TRUE(run.interval.upper.value && run.interval.lower.value) << what;
            EXPECT_EQ(run.stop, asks <= rounds ? SharpestStop::interrupted : SharpestStop::none)
                << what;
            // Valid, and no nearer the sharpest value than the distance says.
            EXPECT_GE(*run.interval.upper.value, whole.largest - kWholeAgreement) << what;
            EXPECT_LE(*run.interval.lower.value, whole.smallest + kWholeAgreement) << what;
            EXPECT_GE(*run.upper.distance,
                      *run.interval.upper.value - whole.largest - kWholeAgreement)
                << what;
            EXPECT_GE(*run.lower.distance,
                      whole.smallest - *run.interval.lower.value - kWholeAgreement)
                << what;
        }
    }
}

struct KnownCase {
    const char* name;
    JointDistribution distribution;
    std::int32_t m;
    double smallest;  // worked out by hand, exact
    double largest;
};

std::vector<KnownCase> knownCases() {
    const std::vector<double> p = {0.5, 0.25, 0.125, 0.75};
    // P(union) of independent events: 1 − Π(1 − p_i), exact in binary.
    const double union4 = 1.0 - 0.5 * 0.75 * 0.875 * 0.25;
    return {
        // All orders: the distribution is determined.
        {"independent events, every order", independent(p), 4, union4, union4},
        // Singletons only: max P_i ≤ P(union) ≤ min(1, Σ P_i).
        {"independent events, order 1", independent({0.25, 0.125, 0.5}), 1, 0.5, 0.875},
        {"disjoint events",
         fromRows(4, {{{1, 0, 0, 0}, 0.125},
                      {{0, 1, 0, 0}, 0.25},
                      {{0, 0, 1, 0}, 0.0625},
                      {{0, 0, 0, 1}, 0.5},
                      {{0, 0, 0, 0}, 0.0625}}),
         2, 0.9375, 0.9375},
        {"identical events", fromRows(5, {{{1, 1, 1, 1, 1}, 0.375}, {{0, 0, 0, 0, 0}, 0.625}}), 3,
         0.375, 0.375},
        {"nested events",
         fromRows(4, {{{1, 1, 1, 1}, 0.0625},
                      {{1, 1, 1, 0}, 0.0625},
                      {{1, 1, 0, 0}, 0.125},
                      {{1, 0, 0, 0}, 0.25},
                      {{0, 0, 0, 0}, 0.5}}),
         2, 0.5, 0.5},
        // Pairwise independent halves: every distribution with these pairs
        // has P(union) = 3/4 + P(1∩2∩3), and P(1∩2∩3) ranges over [0, 1/4].
        {"pairwise independent events, order 2",
         fromRows(3, {{{0, 0, 0}, 0.25}, {{1, 1, 0}, 0.25}, {{1, 0, 1}, 0.25}, {{0, 1, 1}, 0.25}}),
         2, 0.75, 1.0},
    };
}

TEST(SharpestBounds, GiveTheForcedOrHandWorkedValuesOfKnownCases) {
    for (const KnownCase& c : knownCases()) {
        const RealVector prob = testing::intersectionProbabilities(c.distribution, c.m);
        const ProvenInterval interval = sharpestBounds(c.distribution.n, c.m, prob);
        ASSERT_TRUE(interval.upper.value && interval.lower.value) << c.name;
        EXPECT_FALSE(interval.inconsistent) << c.name;
        EXPECT_GE(*interval.upper.value, c.largest) << c.name;
        EXPECT_LE(*interval.lower.value, c.smallest) << c.name;
        EXPECT_NEAR(*interval.upper.value, c.largest, kTight) << c.name;
        EXPECT_NEAR(*interval.lower.value, c.smallest, kTight) << c.name;
    }
}

struct InconsistentCase {
    const char* name;
    std::int32_t n;
    std::int32_t m;
    RealVector prob;
};
const InconsistentCase kInconsistent[] = {
    {"an intersection larger than its events", 2, 2, {0.5, 0.5, 0.75}},
    {"three disjoint halves", 3, 2, {0.5, 0.5, 0.5, 0.0, 0.0, 0.0}},
    {"a triple beyond its pair", 3, 3, {0.5, 0.5, 0.5, 0.25, 0.25, 0.25, 0.3}},
};

TEST(SharpestBounds, ProveThatInconsistentDataHaveNoDistribution) {
    for (const InconsistentCase& c : kInconsistent) {
        const ProvenInterval interval = sharpestBounds(c.n, c.m, c.prob);
        EXPECT_TRUE(interval.inconsistent) << c.name;
        EXPECT_NE(interval.inconsistency.find("no distribution of the " + std::to_string(c.n) +
                                              " events has intersection probabilities within 1e-9"),
                  std::string::npos)
            << interval.inconsistency;
        EXPECT_FALSE(interval.upper.value || interval.lower.value) << c.name;
    }
}

// A solver that passes everything to the real one and then fails or lies.
enum class Fault {
    fails,
    stops,
    nanDuals,
    halvedDuals,
    shiftedOptimum,       // claims a probability of the union off by 3e-7, its duals right
    claimsInconsistency,  // claims the data miss every distribution by 0.01
    noisyDuals,
};
class FaultySolver final : public lp::Solver {
  public:
    explicit FaultySolver(Fault fault) : fault_(fault), real_(lp::makeSolver()) {}
    void setRows(const lp::Rows& rows) override { real_->setRows(rows); }
    std::int32_t addColumns(const std::vector<lp::Column>& c) override {
        return real_->addColumns(c);
    }
    void setColumnBounds(std::int32_t j, double l, double u) override {
        real_->setColumnBounds(j, l, u);
    }
    void setColumnCost(std::int32_t j, double c) override { real_->setColumnCost(j, c); }
    void setSecondsLimit(double seconds) override { real_->setSecondsLimit(seconds); }
    std::int32_t rowCount() const override { return real_->rowCount(); }
    std::int32_t columnCount() const override { return real_->columnCount(); }
    lp::Result solve() override {
        lp::Result result = real_->solve();
        std::mt19937_64 random(static_cast<std::uint64_t>(++solves_));
        std::normal_distribution<double> noise(0.0, 1e-3);
        for (double& y : result.rowDuals) {
            switch (fault_) {
                case Fault::nanDuals:
                    y = NAN;
                    break;
                case Fault::halvedDuals:
                    y *= 0.5;
                    break;
                case Fault::noisyDuals:
                    y += noise(random);
                    break;
                default:
                    break;
            }
        }
        if (fault_ == Fault::fails) {
            result.status = lp::Status::failed;
        } else if (fault_ == Fault::stops) {
            result.status = lp::Status::stopped;
        } else if (fault_ == Fault::shiftedOptimum && std::fabs(result.objective) > 0.1) {
            result.objective += 3e-7;  // the sides; the check of the data ends near 0
        } else if (fault_ == Fault::claimsInconsistency) {
            // A deviation from the data in every solution, and a least one
            // of 0.01 in the check of the data.
            if (!result.columnValues.empty()) {
                result.columnValues[0] += 0.01;
            }
            if (std::fabs(result.objective) < 0.1) {
                result.objective += 0.01;
            }
        }
        return result;
    }

  private:
    Fault fault_;
    std::unique_ptr<lp::Solver> real_;
    int solves_ = 0;
};

TEST(SharpestBounds, ProveBothSidesWhateverTheSolverSaysAndSayWhereItFailed) {
    std::mt19937_64 random(99);
    const JointDistribution distribution = dyadicMixture(5, 6, 0.5, random);
    // All orders: the optimum on both sides is the truth.
    const RealVector prob = testing::intersectionProbabilities(distribution, 5);
    const double truth = testing::unionProbability(distribution);
    const struct {
        Fault fault;
        const char* note;  // part of what the run must say, if anything
        bool tight;        // the duals are right: the bounds meet the truth
    } faults[] = {
        {Fault::fails, "the LP solver failed", false},
        {Fault::stops, "the LP solver stopped at a limit", false},
        {Fault::nanDuals, "no usable duals", false},
        {Fault::halvedDuals, "", false},
        {Fault::shiftedOptimum, "", true},
        {Fault::claimsInconsistency, "no inconsistency beyond the 1e-9 allowed for rounding", true},
        {Fault::noisyDuals, "", false},
    };
    for (const auto& f : faults) {
        SharpestOptions options;
        options.solverFactory = [&] { return std::make_unique<FaultySolver>(f.fault); };
        options.roundLimit = 50;
        options.method = SharpestMethod::columnGeneration;
        const SharpestRun run = sharpestBoundsInDetail(5, 5, prob, options);
        const std::string what = "fault " + std::to_string(static_cast<int>(f.fault));
        ASSERT_TRUE(run.interval.upper.value && run.interval.lower.value) << what;
        EXPECT_GE(*run.interval.upper.value, truth) << what;
        EXPECT_LE(*run.interval.lower.value, truth) << what;
        EXPECT_NE(run.note.find(f.note), std::string::npos) << what << ": " << run.note;
        if (f.tight) {
            EXPECT_NEAR(*run.interval.upper.value, truth, kTight) << what;
            EXPECT_NEAR(*run.interval.lower.value, truth, kTight) << what;
        }
    }
}

TEST(SharpestBounds, ShowEveryRoundOfTheColumnGenerationToTheProgressCallback) {
    std::mt19937_64 random(5);
    const JointDistribution distribution = dyadicMixture(7, 10, 0.5, random);
    const RealVector prob = testing::intersectionProbabilities(distribution, 2);
    std::vector<SharpestRound> rounds;
    SharpestOptions options;
    options.progress = [&](const SharpestRound& round) { rounds.push_back(round); };
    const SharpestRun run = sharpestBoundsInDetail(7, 2, prob, options);
    ASSERT_EQ(static_cast<std::int32_t>(rounds.size()), run.rounds);
    for (std::size_t k = 0; k < rounds.size(); ++k) {
        EXPECT_EQ(rounds[k].round, static_cast<std::int32_t>(k + 1));
        const bool lastOfStage = k + 1 == rounds.size() || rounds[k + 1].stage != rounds[k].stage;
        // A stage ends exactly when a round finds no outcome to add.
        EXPECT_EQ(rounds[k].added == 0, lastOfStage) << "round " << k + 1;
        if (k > 0) {
            EXPECT_EQ(rounds[k].workingSet, rounds[k - 1].workingSet + rounds[k].added);
        }
    }
    EXPECT_EQ(rounds.back().stage, SharpestStage::lower);
    EXPECT_EQ(rounds.back().workingSet, run.workingSet);
}

TEST(SharpestBounds, GiveTheSameBitsInConcurrentRuns) {
    std::mt19937_64 random(17);
    const JointDistribution distribution = dyadicMixture(8, 12, 0.5, random);
    const RealVector prob = testing::intersectionProbabilities(distribution, 3);
    const ProvenInterval alone = sharpestBounds(8, 3, prob);
    ProvenInterval first;
    ProvenInterval second;
    std::thread a([&] { first = sharpestBounds(8, 3, prob); });
    std::thread b([&] { second = sharpestBounds(8, 3, prob); });
    a.join();
    b.join();
    ASSERT_TRUE(alone.upper.value && alone.lower.value);
    for (const ProvenInterval* other : {&first, &second}) {
        EXPECT_EQ(other->upper.value, alone.upper.value);
        EXPECT_EQ(other->lower.value, alone.lower.value);
    }
}

TEST(SharpestBounds, RefuseArgumentsOutsideTheirDomainWithAReason) {
    const struct {
        std::int32_t n;
        std::int32_t m;
        RealVector prob;
        const char* why;
    } cases[] = {
        {0, 1, {}, "need n ≥ 1 and 1 ≤ m ≤ n"},
        {3, 0, {}, "need n ≥ 1 and 1 ≤ m ≤ n"},
        {2, 3, {0.5, 0.5, 0.25}, "need n ≥ 1 and 1 ≤ m ≤ n"},
        {3, 1, {0.5, 0.5}, "need 3 probabilities, not 2"},
        {2, 1, {0.5, NAN}, "probability 2 is not a finite number"},
        {3000, 3, {}, "is too many events"},
    };
    for (const auto& c : cases) {
        const ProvenInterval interval = sharpestBounds(c.n, c.m, c.prob);
        EXPECT_FALSE(interval.upper.value || interval.lower.value) << c.why;
        EXPECT_NE(interval.upper.why.find(c.why), std::string::npos) << interval.upper.why;
        EXPECT_EQ(interval.lower.why, interval.upper.why);
    }
}

TEST(SharpestMemoryPlan, AllowsTheRequiredSizesAndNoMoreThanItsBudget) {
    EXPECT_GE(largestLatticeEvents(3), 30);
    EXPECT_GE(largestLatticeEvents(5), 20);
    for (std::int32_t m = 1; m <= 8; ++m) {
        const std::int32_t n = largestLatticeEvents(m);
        EXPECT_LE(plannedLatticeBytes(n, m), kSharpestMemoryBudget) << "m=" << m;
        if (n < kLargestLatticeEvents) {
            EXPECT_GT(plannedLatticeBytes(n + 1, m), kSharpestMemoryBudget) << "m=" << m;
        }
        EXPECT_LE(largestLatticeEvents(m + 1), n) << "m=" << m;
    }
    // Beyond the lattice, the sets of events take any n whose probabilities
    // fit until the positive ones are known.
    EXPECT_TRUE(sharpestFits(1000, 3));
    EXPECT_FALSE(sharpestFits(3000, 3));
    EXPECT_NE(describeSharpestMemoryPlan(3000, 3).find("n = 3000, m = 3"), std::string::npos);
}

}  // namespace
}  // namespace unionbound
