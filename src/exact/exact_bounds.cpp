#include "exact/exact_bounds.hpp"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <numeric>
#include <optional>

#include "exact/certificate.hpp"
#include "exact/compact_lp.hpp"
#include "exact/pass_program.hpp"
#include "exact/point_lp.hpp"
#include "numeric/directed_rounding.hpp"

namespace unionbound {

namespace {

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

// LP solves of one goal before the column generation gives up.
constexpr std::int32_t kRoundLimit = 500;

// The feasibility goal is the sum of the artificial columns in the scaled
// rows. Each moment may move by at least 1e-9 of its scale (N_i·1e-9, and
// N_i is the scale), so a claimed sum at most this much leaves the moments
// within the rounding allowed for the data: no inconsistency to look for.
constexpr double kAttainableWithin = 1e-9;

// A side whose proven value lies within this of the solver's claimed optimum,
// beyond what the moments' error bounds charge its multipliers, needs no
// further attempt: the certified bounds are meant to be this tight.
constexpr double kTightToTheClaim = 1e-9;

std::string reasonOf(const GoalSolve& solve) {
    switch (solve.result.status) {
        case lp::Status::optimal:
            break;
        case lp::Status::infeasible:
            return "the LP solver found no distribution with these moments, but the data were "
                   "not proven inconsistent beyond their rounding";
        case lp::Status::unbounded:
            return "the LP solver called the problem unbounded, which it cannot be";
        case lp::Status::stopped:
            return "the LP solver stopped at its iteration or time limit";
        case lp::Status::failed:
            return "the LP solver failed (numerical trouble, or an answer that does not fit "
                   "the program)";
    }
    if (!solve.settled) {
        return "the column generation did not settle within " + std::to_string(kRoundLimit) +
               " LP solves";
    }
    return {};
}

RealVector negated(RealVector y) {
    std::transform(y.begin(), y.end(), y.begin(), [](double v) { return -v; });
    return y;
}

ProvenInterval noValues(const std::string& why) {
    ProvenInterval interval;
    interval.upper.why = why;
    interval.lower.why = why;
    return interval;
}

// The moments a Farkas certificate rests on most: the largest |y_i·moments_i|.
std::string mainMoments(const PassLayout& layout, const PassProblem& problem, const RealVector& y) {
    std::vector<std::size_t> order(y.size() - 1);
    std::iota(order.begin(), order.end(), std::size_t{1});
    const auto weight = [&](std::size_t i) { return std::fabs(y[i] * problem.moments[i]); };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return weight(a) > weight(b); });
    std::string names;
    for (std::size_t k = 0; k < order.size() && k < 3 && weight(order[k]) > 0.0; ++k) {
        names += (k == 0 ? "" : ", ") + layout.name(order[k]);
    }
    return names;
}

ProvenInterval inconsistent(const PassLayout& layout, const PassProblem& problem,
                            const RealVector& y) {
    ProvenInterval interval = noValues("the data are inconsistent");
    interval.inconsistent = true;
    interval.inconsistency =
        "no joint distribution of the subsequence counts has these moments, even with every "
        "probability moved by up to 1e-9 (proven by a Farkas certificate resting most on " +
        mainMoments(layout, problem, y) + ")";
    return interval;
}

// A moment that adds no probabilities (an order above its subsequence's
// length) is 0 for every distribution: a larger value is inconsistent.
std::optional<ProvenInterval> emptyMomentOutOfPlace(const PassProblem& problem,
                                                    const PassLayout& layout,
                                                    const GridCheck& check) {
    const std::int32_t m = problem.m;
    const auto length = [&](std::int32_t c) {
        return problem.lengths[static_cast<std::size_t>(c - 1)];
    };
    std::vector<std::size_t> empty;
    for (std::int32_t c = 1; c <= layout.q; ++c) {
        for (std::int32_t k = 1; k <= m; ++k) {
            if (k > length(c)) {
                empty.push_back(layout.single(c, k));
            }
        }
        for (std::int32_t e = 1; c >= 2 && e < m; ++e) {
            for (std::int32_t d = 1; d + e <= m; ++d) {
                if (d > length(1) || e > length(c)) {
                    empty.push_back(layout.pair(c, d, e));
                }
            }
        }
    }
    for (std::size_t i : empty) {
        RealVector y(layout.size(), 0.0);
        y[i] = problem.moments[i] > 0.0 ? -1.0 : 1.0;
        if (check.provesNoDistribution(y, RealVector(layout.size(), 0.0))) {
            ProvenInterval interval = noValues("the data are inconsistent");
            interval.inconsistent = true;
            char value[32];
            const auto written = std::to_chars(value, value + sizeof value, problem.moments[i]);
            interval.inconsistency = layout.name(i) + " is " + std::string(value, written.ptr) +
                                     ", but no distribution can make it other than 0: its order "
                                     "exceeds the length of a subsequence";
            return interval;
        }
    }
    return std::nullopt;
}

// What one attempt gave for one side of a pass.
struct SideSolve {
    ProvenBound bound;
    double claimed = kNotANumber;  // the solver's optimum of the side, not proven
    double repair = kNotANumber;   // how far the constant multiplier moved
    // Σ |y_i|·errors_i, roughly: what the check adds for the moments' error
    // bounds (upward for the upper side, downward for the lower).
    double charge = 0.0;
    bool upper = true;
    std::int32_t attempt = -1;

    // A proven value that, less the charge for the error bounds, is no
    // farther from the claim than the bounds are meant to be. The charge is
    // the multipliers' own (another solve gives about the same); a larger
    // miss means the solver's optimum and its duals disagree, or the duals
    // needed a large repair.
    bool tight() const {
        if (!bound.value) {
            return false;
        }
        const double residual =
            upper ? *bound.value - charge - claimed : *bound.value + charge - claimed;
        return std::fabs(residual) <= kTightToTheClaim;
    }
};

// Solves the side's goal on `program` (feasible already) and proves a bound
// from its duals. The largest P(union) is 1 − min t: multipliers e_0 − λ.
// The smallest is 1 − max s = 1 + min(−s): multipliers e_0 + λ.
template <typename Account>
SideSolve proveSide(const PassProblem& problem, PassProgram& program, bool upper,
                    const GridCheck& check, Account account) {
    SideSolve side;
    side.upper = upper;
    const GoalSolve solve =
        program.solve(upper ? Goal::leastNoEvent : Goal::mostNoEvent, kRoundLimit);
    account(solve);
    if (std::string why = reasonOf(solve); !why.empty()) {
        side.bound.why = why;
        return side;
    }
    RealVector y = program.momentDuals(solve.result);
    if (upper) {
        side.claimed = 1.0 - solve.result.objective;
        y = negated(std::move(y));
    } else {
        side.claimed = 1.0 + solve.result.objective;
    }
    y[0] += 1.0;
    double slack = 0.0;
    const double bound = upper ? check.upperBound(y, &slack) : check.lowerBound(y, &slack);
    side.repair = std::max(0.0, -slack);
    for (std::size_t i = 0; i < y.size(); ++i) {
        side.charge += std::fabs(y[i]) * problem.errors[i];
    }
    if (std::isfinite(bound)) {
        side.bound.value = bound;
    } else {
        side.bound.why = "the bound from the LP solver's duals could not be proven";
    }
    return side;
}

// The program over value points is taken as the other program of a pass of
// at most this many subsequences: each point touches every moment row, so
// for more of them it is too slow to be worth a try.
constexpr std::size_t kPointsAsTheOtherUpTo = 4;

bool canTry(const PassProblem& problem, const ExactAttempt& attempt) {
    return !attempt.otherProgram || problem.lengths.size() <= kPointsAsTheOtherUpTo;
}

// The usual program of the pass (makePassProgram's choice), or the other one.
std::unique_ptr<PassProgram> programOf(const PassProblem& problem, lp::Solver& solver,
                                       const ExactAttempt& attempt) {
    if (!attempt.otherProgram) {
        return makePassProgram(problem, solver, false);
    }
    if (problem.lengths.size() <= 2) {
        return std::make_unique<CompactLp>(problem, solver, false);
    }
    return std::make_unique<PointLp>(problem, solver, false);
}

// One later attempt at one side: a fresh solver reaches a feasible basis,
// then solves that side alone.
template <typename Account>
SideSolve retrySide(const PassProblem& problem, const ExactAttempt& attempt, bool upper,
                    const GridCheck& check, Account account) {
    SideSolve side;
    side.upper = upper;
    std::unique_ptr<lp::Solver> solver = attempt.makeSolver ? attempt.makeSolver() : nullptr;
    if (!solver) {
        side.bound.why = "no LP solver could be made";
        return side;
    }
    const std::unique_ptr<PassProgram> program = programOf(problem, *solver, attempt);
    const GoalSolve feasibility = program->solve(Goal::feasibility, kRoundLimit);
    account(feasibility);
    if (std::string why = reasonOf(feasibility); !why.empty()) {
        side.bound.why = why;
        return side;
    }
    return proveSide(problem, *program, upper, check, account);
}

// Keeps the better proven value of the two: the smaller upper bound, the
// larger lower bound; the earlier one where they are equal, and the earlier
// reason where neither has a value.
void keepBetter(SideSolve& best, SideSolve candidate, bool upper) {
    if (!candidate.bound.value) {
        return;
    }
    if (!best.bound.value || (upper ? *candidate.bound.value < *best.bound.value
                                    : *candidate.bound.value > *best.bound.value)) {
        best = std::move(candidate);
    }
}

ExactPassResult solvePass(const PassProblem& problem, const std::vector<ExactAttempt>& attempts) {
    ExactPassResult outcome;
    ExactPassStatistics& statistics = outcome.statistics;
    statistics.claimedUpper = kNotANumber;
    statistics.claimedLower = kNotANumber;
    statistics.upperRepair = kNotANumber;
    statistics.lowerRepair = kNotANumber;
    if (const Expected<void> wellFormed = checkPassProblem(problem); !wellFormed.ok()) {
        outcome.bounds = noValues("the pass's data are malformed: " + wellFormed.message());
        return outcome;
    }
    const PassLayout layout = passLayout(problem);
    const GridCheck check(problem);
    if (auto proven = emptyMomentOutOfPlace(problem, layout, check)) {
        outcome.bounds = *proven;
        return outcome;
    }
    if (attempts.empty()) {
        outcome.bounds = noValues("no LP solver was given");
        return outcome;
    }
    // The rounding allowed for the data: 1e-9 for each probability a moment adds.
    RealVector widening(layout.size(), 0.0);
    {
        const RealVector counts = passTermCounts(problem);
        for (std::size_t i = 0; i < counts.size(); ++i) {
            widening[i] = mulUp(counts[i], kRoundingOfTheData);
        }
    }
    const auto account = [&](const GoalSolve& solve) {
        statistics.rounds += solve.rounds;
        statistics.iterations += solve.iterations;
    };

    // The first attempt: feasibility, then both sides on one solver.
    SideSolve upper;
    SideSolve lower;
    lower.upper = false;
    std::unique_ptr<lp::Solver> solver =
        attempts[0].makeSolver ? attempts[0].makeSolver() : nullptr;
    if (!solver) {
        upper.bound.why = lower.bound.why = "no LP solver could be made";
    } else {
        const std::unique_ptr<PassProgram> program = programOf(problem, *solver, attempts[0]);
        statistics.rows = solver->rowCount();
        const GoalSolve feasibility = program->solve(Goal::feasibility, kRoundLimit);
        account(feasibility);
        statistics.cells = program->columnsEntered();
        if (std::string why = reasonOf(feasibility); !why.empty()) {
            upper.bound.why = lower.bound.why = why;
        } else {
            if (!(feasibility.result.objective <= kAttainableWithin)) {
                // A Farkas certificate from the feasibility duals, else from
                // the distance to the attainable moments in units of the
                // allowed rounding.
                RealVector ray = negated(program->momentDuals(feasibility.result));
                if (!check.provesNoDistribution(ray, widening)) {
                    if (std::unique_ptr<lp::Solver> second = attempts[0].makeSolver()) {
                        RealVector allowed(layout.size(), 0.0);
                        for (std::size_t i = 0; i < allowed.size(); ++i) {
                            allowed[i] = problem.errors[i] + widening[i];
                        }
                        const std::unique_ptr<PassProgram> distanceProgram =
                            makePassProgram(problem, *second, true, allowed);
                        const GoalSolve distance =
                            distanceProgram->solve(Goal::distance, kRoundLimit);
                        account(distance);
                        if (distance.result.status == lp::Status::optimal) {
                            ray = negated(distanceProgram->momentDuals(distance.result));
                        }
                    }
                }
                if (check.provesNoDistribution(ray, widening)) {
                    outcome.bounds = inconsistent(layout, problem, ray);
                    return outcome;
                }
            }
            upper = proveSide(problem, *program, true, check, account);
            lower = proveSide(problem, *program, false, check, account);
            statistics.cells = program->columnsEntered();
        }
    }
    upper.attempt = upper.bound.value ? 0 : -1;
    lower.attempt = lower.bound.value ? 0 : -1;
    statistics.upperAttempts = statistics.lowerAttempts = 1;

    // The later attempts, for each side on its own until its value is tight.
    for (const bool isUpper : {true, false}) {
        SideSolve& best = isUpper ? upper : lower;
        std::int32_t& made = isUpper ? statistics.upperAttempts : statistics.lowerAttempts;
        for (std::size_t k = 1; k < attempts.size() && !best.tight(); ++k) {
            if (!canTry(problem, attempts[k])) {
                continue;
            }
            SideSolve side = retrySide(problem, attempts[k], isUpper, check, account);
            side.attempt = static_cast<std::int32_t>(k);
            keepBetter(best, std::move(side), isUpper);
            ++made;
        }
    }
    outcome.bounds.upper = upper.bound;
    outcome.bounds.lower = lower.bound;
    statistics.claimedUpper = upper.claimed;
    statistics.claimedLower = lower.claimed;
    statistics.upperRepair = upper.repair;
    statistics.lowerRepair = lower.repair;
    statistics.upperKept = upper.attempt;
    statistics.lowerKept = lower.attempt;
    return outcome;
}

}  // namespace

ExactPassResult solveExactPass(const PassProblem& problem,
                               const std::vector<ExactAttempt>& attempts) {
    const auto start = std::chrono::steady_clock::now();
    ExactPassResult outcome = solvePass(problem, attempts);
    outcome.statistics.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return outcome;
}

ExactPassResult solveExactPass(const PassProblem& problem, const lp::SolverFactory& makeSolver) {
    return solveExactPass(problem, std::vector<ExactAttempt>{{makeSolver, false}});
}

lp::Settings exactSolverSettings() {
    lp::Settings settings;
    settings.primalTolerance = 1e-9;
    settings.dualTolerance = 1e-10;
    // The rows are scaled to coefficients in [0, 1] already; with the
    // library's column scaling on top, a reduced cost within its tolerance
    // could miss ours by the column's scale (violations of 1e-7 in the check
    // of the duals on input D).
    settings.libraryScaling = false;
    return settings;
}

std::vector<ExactAttempt> exactSolverAttempts() {
    const auto withSettings = [](const lp::Settings& settings) {
        return [settings] { return lp::makeSolver(settings); };
    };
    const lp::Settings usual = exactSolverSettings();
    // Badly conditioned passes (moments that nearly pin down the
    // distribution) can leave the simplex a claimed optimum that its duals
    // miss by more than 1e-9, or a side called infeasible from the basis the
    // other side left.
    lp::Settings tighter = usual;
    tighter.primalTolerance = 1e-10;
    lp::Settings scaled = usual;
    scaled.libraryScaling = true;
    return {{withSettings(usual), false},
            {withSettings(usual), false},
            {withSettings(tighter), false},
            {withSettings(scaled), false},
            {withSettings(usual), true}};
}

ProvenInterval exactPassBounds(const PassProblem& problem) {
    return solveExactPass(problem, exactSolverAttempts()).bounds;
}

ProvenInterval exactPassBounds(const PassProblem& problem, const lp::SolverFactory& makeSolver) {
    return solveExactPass(problem, makeSolver).bounds;
}

}  // namespace unionbound
