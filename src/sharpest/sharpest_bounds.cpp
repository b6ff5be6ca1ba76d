#include "sharpest/sharpest_bounds.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>

#include "moments/subsets.hpp"
#include "sharpest/certificate.hpp"
#include "sharpest/column_generation.hpp"
#include "sharpest/dual_anchors.hpp"
#include "sharpest/event_sets.hpp"
#include "sharpest/lattice_interior_point.hpp"
#include "sharpest/lattice_space.hpp"
#include "sharpest/memory_plan.hpp"
#include "sharpest/outcome_lattice.hpp"

namespace unionbound {

namespace {

// A side whose proven bound lies farther than this from the value its LP
// reached is solved again (fresh solvers, further rounds); the tightest
// proven bound is kept either way.
constexpr double kTightness = 1e-9;
// A least total deviation from the data above this, as the LP claims it,
// with no proven inconsistency, leaves no bound to give. (Smaller claims are
// within the LP library's own tolerances, and any bound proven then holds
// for the data as they are.)
constexpr double kConsistentDeviation = 1e-9;
// A distribution counts as meeting the data when it misses no row by more
// than this: its probability of the union is then one the data allow, up
// to that tolerance, and bounds how far a proven bound lies from the best.
constexpr double kMeetsTheData = 1e-9;
// A distance is never said to be smaller than this: proven bounds and the
// values reached agree no closer than the rounding of their sums.
constexpr double kSmallestDistance = 1e-15;
// The interior-point method proves its duals once they miss the costs by no
// more than this (earlier ones prove nothing useful).
constexpr double kProvableCostResidual = 0.1;
// A proof costs about a fifth of an iteration on a large lattice. Far from
// the optimum the interior-point method proves every kProofEvery-th
// iteration; once its objectives agree to kEndgameGap (relative), and when
// it stops, every one.
constexpr std::int32_t kProofEvery = 4;
constexpr double kEndgameGap = 1e-3;
// Proofs spent on the search between the anchor and the last duals of a
// side that stopped early.
constexpr int kSearchProofs = 10;
// The interior-point method is chosen for dense data: where the outcomes
// that may have probability are at least this many per row of a positive
// intersection, and their columns hold at least this many nonzeros per
// such row. Column generation solves far smaller LPs where few outcomes are
// possible or they are small (sparse data), and the LP library's simplex
// is slow on the long columns of dense data.
constexpr double kDenseOutcomesPerRow = 2.0;
constexpr double kDenseNonzerosPerRow = 100.0;
// The outcomes of the interior-point method's solution that the column
// generation starts from: those with at least this share of the largest
// probability (at most 4 per row).
constexpr double kSupportShare = 1e-6;
// The lattice prices every outcome at once, n·2^(n−1) additions a round;
// branch and bound searches only the sets of events whose intersections are
// all positive. Up to this n the lattice costs little either way; above it,
// it is chosen where at least this share of the intersections is positive.
constexpr std::int32_t kSmallLattice = 16;
constexpr double kDenseShare = 0.5;

std::string format(const char* pattern, double value) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::vector<double> negated(const std::vector<double>& values) {
    std::vector<double> result(values.size());
    std::transform(values.begin(), values.end(), result.begin(), [](double v) { return -v; });
    return result;
}

void noValues(SharpestRun& run, const std::string& why) {
    run.interval.upper.why = why;
    run.interval.lower.why = why;
}

using Clock = std::chrono::steady_clock;

// One side as the computation goes: the best bound proven so far and the
// multipliers that the search starts from.
struct Side {
    SharpestStage stage;
    bool upper;
    SharpestSideReport* report;
    std::optional<double> proven;  // unclipped
    std::vector<double> anchor;    // in the sign of a proof
    std::vector<double> last;      // the latest duals proven, in the sign of a proof
};

class Computation {
  public:
    Computation(std::int32_t n, std::int32_t m, const RealVector& prob,
                const SharpestOptions& options, SharpestRun& run)
        : n_(n), m_(m), prob_(prob), options_(options), run_(run) {
        sides_[0] = {SharpestStage::upper, true, &run.upper, std::nullopt, {}, {}};
        sides_[1] = {SharpestStage::lower, false, &run.lower, std::nullopt, {}, {}};
        if (chooseLattice()) {
            rows_.emplace(n, m);
            latticeProver_ = std::make_unique<MultiplierProver>(*rows_, prob, options.parallel);
            space_ = std::make_unique<LatticeSpace>(*rows_, prob, *latticeProver_);
            run_.pricing = SharpestPricing::lattice;
        } else {
            space_ = std::make_unique<EventSetSpace>(n, m, prob);
            run_.pricing = SharpestPricing::branchAndBound;
        }
    }

    void compute() {
        const Clock::time_point started = Clock::now();
        space_->setDeadline(options_.deadline);
        for (Side& side : sides_) {
            // The better of the anchors proven, the one the search starts from.
            MultiplierProof best;
            for (std::vector<double>& anchor :
                 anchorMultipliers(*space_, n_, side.upper, options_.solverFactory)) {
                const MultiplierProof proof = prove(side, anchor);
                if (proof.valid && (!best.valid || (side.upper ? proof.bound < best.bound
                                                               : proof.bound > best.bound))) {
                    best = proof;
                    side.anchor = std::move(anchor);
                }
            }
            keep(side, best);
            if (const std::optional<double>& known =
                    side.upper ? options_.knownUpper : options_.knownLower) {
                MultiplierProof given;
                given.valid = true;
                given.bound = *known;
                keep(side, given);
            }
        }
        // The time of the anchors' proofs, a measure of one proof, for the
        // search kept in reserve before a deadline.
        proofSeconds_ = std::chrono::duration<double>(Clock::now() - started).count() / 2.0;
        if (!stopNow(std::nullopt)) {
            if (chooseInteriorPoint()) {
                run_.method = SharpestMethod::interiorPoint;
                interiorPoint();
            }
            // Column generation for what is left: a side the interior-point
            // method could not start, or left farther than kTightness from
            // the value it reached (data whose distributions all leave some
            // outcomes out have no interior, and it converges slowly there);
            // from the outcomes it found.
            if (run_.stop == SharpestStop::none && !(done(sides_[0]) && done(sides_[1]))) {
                // After the interior-point method, on data it was chosen
                // for, at most twice its time: on long columns the LP
                // library is slow, and what it proves is kept either way.
                if (run_.method == SharpestMethod::interiorPoint &&
                    options_.method == SharpestMethod::automatic) {
                    const auto spent = Clock::now() - started;
                    polishUntil_ = Clock::now() +
                                   std::max<Clock::duration>(2 * spent, std::chrono::seconds(1));
                }
                columnGeneration();
            }
        }
        if (!run_.interval.inconsistent && run_.interval.upper.why.empty()) {
            conclude();
        }
    }

  private:
    // --- what is kept ----------------------------------------------------

    MultiplierProof prove(const Side& side, const std::vector<double>& y) {
        return space_->prove(y, side.upper ? MultiplierSide::atLeast : MultiplierSide::atMost, 1.0,
                             0.0);
    }

    // The lattice where all 2^n outcomes fit and enough intersections are
    // positive; else the sets of events, searched by branch and bound.
    bool chooseLattice() const {
        if (options_.pricing != SharpestPricing::automatic) {
            return options_.pricing == SharpestPricing::lattice;
        }
        if (n_ > largestLatticeEvents(m_)) {
            return false;
        }
        const auto positive = static_cast<double>(
            std::count_if(prob_.begin(), prob_.end(), [](double p) { return p != 0.0; }));
        return n_ <= kSmallLattice || positive >= kDenseShare * static_cast<double>(prob_.size());
    }

    void keep(Side& side, const MultiplierProof& proof) {
        if (!proof.valid) {
            return;
        }
        if (!side.proven ||
            (side.upper ? proof.bound < *side.proven : proof.bound > *side.proven)) {
            side.proven = proof.bound;
            side.report->certifiedValue = proof.bound;
            side.report->shift = proof.shift;
        }
    }

    // A distribution meeting the data (to kMeetsTheData) has this
    // probability of the union: the largest is at least that, the smallest
    // at most.
    void reached(double unionProbability) {
        highestReached_ = std::max(highestReached_.value_or(unionProbability), unionProbability);
        lowestReached_ = std::min(lowestReached_.value_or(unionProbability), unionProbability);
    }

    std::optional<double> clipped(const Side& side) const {
        if (!side.proven) {
            return std::nullopt;
        }
        return side.upper ? std::min(1.0, *side.proven) : std::max(0.0, *side.proven);
    }

    // How far the side's bound may lie from the sharpest value: from the
    // values reached, or the other side's proven bound (the largest is at
    // least the smallest).
    std::optional<double> distance(const Side& side) const {
        const std::optional<double> own = clipped(side);
        const std::optional<double> other = clipped(sides_[side.upper ? 1 : 0]);
        if (!own) {
            return std::nullopt;
        }
        std::optional<double> beyond = side.upper ? highestReached_ : lowestReached_;
        if (other) {
            beyond = side.upper ? std::max(beyond.value_or(*other), *other)
                                : std::min(beyond.value_or(*other), *other);
        }
        if (!beyond) {
            return std::nullopt;
        }
        return std::max(kSmallestDistance, side.upper ? *own - *beyond : *beyond - *own);
    }

    void conclude() {
        for (Side& side : sides_) {
            ProvenBound& bound = side.upper ? run_.interval.upper : run_.interval.lower;
            bound.value = clipped(side);
            if (!bound.value) {
                bound.why = std::string("no multipliers for ") + stageName(side.stage) +
                            " could be proven" + (why_.empty() ? "" : ": " + why_);
            }
            side.report->distance = distance(side);
        }
    }

    // --- time and progress ------------------------------------------------

    // Whether to stop now: the deadline (or `until`, an earlier one for one
    // side) has come, less the time the final search needs, or the caller
    // asks to stop.
    bool stopNow(std::optional<Clock::time_point> until) {
        if (run_.stop != SharpestStop::none) {
            return true;
        }
        const Clock::duration reserve = searchReserve();
        const Clock::time_point now = Clock::now();
        if (options_.deadline && now + reserve >= *options_.deadline) {
            run_.stop = SharpestStop::timeLimit;
            return true;
        }
        if (options_.stopRequested && options_.stopRequested()) {
            run_.stop = SharpestStop::interrupted;
            return true;
        }
        return until && now + reserve >= *until;
    }

    // The time kept for the search after a side stopped early.
    Clock::duration searchReserve() const {
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(kSearchProofs * proofSeconds_));
    }

    // When an LP solve must end: by `until` or the run's deadline, less the
    // reserve for the search.
    std::optional<Clock::time_point> solveDeadline(std::optional<Clock::time_point> until) const {
        if (options_.deadline) {
            until = std::min(until.value_or(*options_.deadline), *options_.deadline);
        }
        if (!until) {
            return std::nullopt;
        }
        return *until - searchReserve();
    }

    // An earlier deadline for a side, so that the one after it gets its share.
    std::optional<Clock::time_point> sideDeadline(const Side& side) const {
        std::optional<Clock::time_point> until = polishUntil_;
        if (options_.deadline && side.upper) {
            const Clock::time_point now = Clock::now();
            const Clock::time_point half = now + (*options_.deadline - now) / 2;
            until = std::min(until.value_or(half), half);
        }
        return until;
    }

    void tell(SharpestStage stage, double largestViolation, std::int32_t added,
              std::int64_t workingSet) {
        ++run_.rounds;
        if (!options_.progress) {
            return;
        }
        SharpestRound round;
        round.stage = stage;
        round.round = run_.rounds;
        round.workingSet = workingSet;
        round.largestViolation = largestViolation;
        round.added = added;
        round.upper = clipped(sides_[0]);
        round.lower = clipped(sides_[1]);
        round.upperDistance = distance(sides_[0]);
        round.lowerDistance = distance(sides_[1]);
        options_.progress(round);
    }

    // After a side stopped early: the best multipliers on the way from its
    // anchor to its last duals, found by `until` or the run's deadline.
    void search(Side& side, std::optional<Clock::time_point> until) {
        std::optional<Clock::time_point> by = solveDeadline(until);
        if (by) {
            *by += searchReserve();
        }
        space_->setDeadline(by);
        if (!side.last.empty()) {
            keep(side, bestOnSegment(*space_, side.anchor, side.last, side.upper, kSearchProofs));
        }
    }

    // --- the interior-point method over the whole lattice ------------------

    bool chooseInteriorPoint() const {
        if (!rows_ || options_.method == SharpestMethod::columnGeneration ||
            !interiorPointFits(rows_->events(), rows_->rowCount())) {
            return false;
        }
        if (options_.method == SharpestMethod::interiorPoint) {
            return true;
        }
        const std::vector<std::uint8_t>& marks = latticeProver_->zeroMarks();
        // Nonzeros of the column of an outcome of k events: Σ_{j ≤ m} C(k, j).
        std::vector<double> nonzeros(static_cast<std::size_t>(n_) + 1, 0.0);
        std::vector<std::int32_t> rowsOf;
        for (std::int32_t k = 0; k <= n_; ++k) {
            rows_->rowsOfOutcome((OutcomeMask{1} << k) - 1, rowsOf);
            nonzeros[static_cast<std::size_t>(k)] = static_cast<double>(rowsOf.size());
        }
        double possible = 0.0;
        double entries = 0.0;
        for (std::size_t w = 0; w < marks.size(); ++w) {
            if (marks[w] == 0) {
                possible += 1.0;
                entries += nonzeros[static_cast<std::size_t>(std::popcount(w))];
            }
        }
        const auto positive = static_cast<double>(
            1 + std::count_if(prob_.begin(), prob_.end(), [](double p) { return p != 0.0; }));
        return possible >= kDenseOutcomesPerRow * positive &&
               entries >= kDenseNonzerosPerRow * positive;
    }

    bool done(const Side& side) const {
        const std::optional<double> gap = distance(side);
        return side.report->complete && gap && *gap <= kTightness;
    }

    // Both sides, each until it converges, stalls or stops, or until the
    // method finds no interior to start from (the data may be inconsistent).
    // The upper side runs first: it takes fewer iterations (184 against
    // about 310 on clustered n = 24), so under a time limit the lower side
    // gets more than its half. The outcomes of largest probability in the
    // last points are kept for the column generation.
    void interiorPoint() {
        std::vector<double> targets{1.0};
        targets.insert(targets.end(), prob_.begin(), prob_.end());
        for (Side& side : sides_) {
            const Clock::time_point started = Clock::now();
            const std::optional<Clock::time_point> until = sideDeadline(side);
            LatticeInteriorPoint method(*rows_, targets, latticeProver_->zeroMarks(),
                                        side.upper ? -1.0 : 1.0, options_.parallel);
            // Set once the side's proven bound lies within kTightness of the
            // probability of the union of a point that meets the data: the
            // rest of the method could only make the two agree more closely.
            bool close = false;
            std::int32_t sinceProof = 0;
            const InteriorPointEnd end =
                method.run(InteriorPointSettings{}, [&](const InteriorPointIterate& point) {
                    ++side.report->rounds;
                    // The LP's value c·x corrected by the duals for the
                    // rows x misses (see InteriorPointIterate).
                    const double corrected = point.dualObjective + point.complementarity;
                    side.report->solverValue = side.upper ? -corrected : corrected;
                    // What a distance rests on is the point itself: c·x, the
                    // probability of the union under x, where x meets the data.
                    if (point.rowResidual <= kMeetsTheData) {
                        reached(side.upper ? -point.primalObjective : point.primalObjective);
                    }
                    if (point.metObjective && point.metRowResidual <= kMeetsTheData) {
                        reached(side.upper ? -*point.metObjective : *point.metObjective);
                    }
                    const bool stop = stopNow(until);
                    const bool endgame = std::fabs(point.primalObjective - point.dualObjective) <=
                                         kEndgameGap * (1.0 + std::fabs(point.dualObjective));
                    ++sinceProof;
                    if (point.costResidual <= kProvableCostResidual &&
                        (stop || endgame || sinceProof >= kProofEvery)) {
                        sinceProof = 0;
                        side.last.assign(point.duals.begin(), point.duals.end());
                        if (side.upper) {
                            side.last = negated(side.last);
                        }
                        keep(side, prove(side, side.last));
                    }
                    tell(side.stage, point.costResidual, 0, 0);
                    const std::optional<double> gap = distance(side);
                    close = gap && *gap <= kTightness;
                    return !close && !stop;
                });
            side.report->seconds += std::chrono::duration<double>(Clock::now() - started).count();
            if (end == InteriorPointEnd::singular) {
                return;
            }
            side.report->complete = end != InteriorPointEnd::stopped || close;
            if (end == InteriorPointEnd::stopped && !close) {
                search(side, until);
                if (run_.stop != SharpestStop::none) {
                    return;
                }
                continue;  // the side's share of the time is up: the other's turn
            }
            keepSupport(method.primal());
        }
    }

    // The outcomes that carry the most probability in x, as the first
    // columns of a column generation.
    void keepSupport(const std::vector<double>& x) {
        const double largest = *std::max_element(x.begin(), x.end());
        std::vector<std::pair<double, OutcomeMask>> heavy;
        for (std::size_t w = 0; w < x.size(); ++w) {
            if (x[w] > kSupportShare * largest) {
                heavy.emplace_back(-x[w], static_cast<OutcomeMask>(w));
            }
        }
        const std::size_t most = 4 * static_cast<std::size_t>(rows_->rowCount());
        if (heavy.size() > most) {
            std::nth_element(heavy.begin(), heavy.begin() + static_cast<std::ptrdiff_t>(most),
                             heavy.end());
            heavy.resize(most);
        }
        for (const auto& entry : heavy) {
            seeds_.push_back(entry.second);
        }
    }

    // --- column generation on the LP library --------------------------------

    void columnGeneration() {
        const lp::SolverFactory first = options_.solverFactory ? options_.solverFactory : [] {
            return lp::makeSolver(sharpestSolverSettings());
        };
        ColumnGeneration generation(*space_, first, options_.columnsPerRound);
        generation.start();
        generation.include(seeds_);
        const auto finish = [&] { run_.workingSet = generation.workingSet(); };
        for (Side& side : sides_) {
            if (done(side)) {
                continue;  // the interior-point method solved it
            }
            const Clock::time_point started = Clock::now();
            solveSide(generation, side);
            side.report->seconds += std::chrono::duration<double>(Clock::now() - started).count();
            if (run_.stop != SharpestStop::none) {
                break;
            }
        }
        finish();
    }

    // Are the data consistent? The least total deviation Σ|Ax − b| over the
    // distributions; its duals z have F ≤ 0 everywhere, so −z is a Farkas
    // candidate: a combination of the rows that no distribution makes
    // negative. Outcomes with an intersection of probability 0 stay out at
    // first: no distribution with these data gives them probability. False
    // where the sides cannot go on.
    bool checkTheData(ColumnGeneration& generation) {
        const auto visit = [&](const GenerationRound& round) {
            ++run_.consistency.rounds;
            tell(SharpestStage::consistency, round.pricing.largestViolation, round.added,
                 round.workingSet);
            return !stopNow(polishUntil_);
        };
        const Clock::time_point started = Clock::now();
        const auto timed = [&](GenerationEnd end) {
            run_.consistency.seconds =
                std::chrono::duration<double>(Clock::now() - started).count();
            return end;
        };
        GenerationEnd end =
            timed(generation.run(SharpestStage::consistency, options_.roundLimit, visit));
        if (end == GenerationEnd::solved && generation.last().objective > kConsistentDeviation &&
            space_->admitEveryOutcome()) {
            end = timed(generation.run(SharpestStage::consistency, options_.roundLimit, visit));
        }
        if (end == GenerationEnd::stopped) {
            return false;  // the anchors' bounds stand
        }
        if (end != GenerationEnd::solved) {
            // No feasible start for the sides: the anchors' bounds stand.
            run_.note = generation.why() + "; the bounds are those proven before";
            return false;
        }
        const lp::Result& check = generation.last();
        run_.consistency.solverValue = check.objective;
        if (check.objective <= kConsistentDeviation) {
            return true;
        }
        const MultiplierProof farkas = space_->prove(
            negated(check.rowDuals), MultiplierSide::atLeast, 0.0, kRoundingOfTheData);
        run_.consistency.certifiedValue = farkas.bound;
        run_.consistency.shift = farkas.shift;
        if (farkas.valid && farkas.bound < 0.0) {
            run_.interval.inconsistent = true;
            run_.interval.inconsistency =
                "no distribution of the " + std::to_string(n_) +
                " events has intersection probabilities within 1e-9 of the given ones: a "
                "combination of them that no distribution makes negative is at most " +
                format("%.3g", farkas.bound) + " here";
            noValues(run_, "the data are inconsistent");
            return false;
        }
        // Not proven: the sides go on, and whatever they prove holds.
        run_.note = "the LP finds the data off every distribution by " +
                    format("%.3g", check.objective) +
                    " in total, but no inconsistency beyond the 1e-9 allowed for rounding could "
                    "be proven";
        return true;
    }

    // The probability of the union of the LP's solution, where it meets the
    // data (no row missed by more than kMeetsTheData, no negative
    // probability beyond it): summed here, not taken from the solver.
    std::optional<double> unionOfSolution(const ColumnGeneration& generation,
                                          const lp::Result& result) {
        const std::vector<double>& targets = space_->targets();
        const std::vector<OutcomeId>& outcomes = generation.outcomes();
        std::vector<double> rowSums(targets.size(), 0.0);
        std::vector<std::int32_t> rowsOf;
        const auto first = static_cast<std::size_t>(generation.firstOutcomeColumn());
        if (result.columnValues.size() < first + outcomes.size()) {
            return std::nullopt;
        }
        double unionProbability = 0.0;
        for (std::size_t k = 0; k < outcomes.size(); ++k) {
            const double x = result.columnValues[first + k];
            if (!(x >= -kMeetsTheData)) {
                return std::nullopt;
            }
            unionProbability += space_->isEmpty(outcomes[k]) ? 0.0 : x;
            space_->rowsOf(outcomes[k], rowsOf);
            for (std::int32_t row : rowsOf) {
                rowSums[static_cast<std::size_t>(row)] += x;
            }
        }
        double miss = 0.0;
        for (std::size_t row = 0; row < rowSums.size(); ++row) {
            miss = std::max(miss, std::fabs(rowSums[row] - targets[row]));
        }
        if (!(miss <= kMeetsTheData)) {
            return std::nullopt;
        }
        return unionProbability;
    }

    void solveSide(ColumnGeneration& generation, Side& side) {
        const std::optional<Clock::time_point> until = sideDeadline(side);
        const auto visit = [&](const GenerationRound& round) {
            ++side.report->rounds;
            const double value = side.upper ? -round.result->objective : round.result->objective;
            side.report->solverValue = value;
            keep(side, round.pricing.proof);
            side.last = round.result->rowDuals;
            if (side.upper) {
                side.last = negated(side.last);
            }
            if (const std::optional<double> reach = unionOfSolution(generation, *round.result)) {
                reached(*reach);
            }
            tell(side.stage, round.pricing.largestViolation, round.added, round.workingSet);
            return !stopNow(until);
        };
        generation.setDeadline(solveDeadline(until));
        space_->setDeadline(solveDeadline(until));
        // The first solver, then fresh ones on the same working set while
        // the proven bound stays farther than kTightness from the value reached.
        const std::vector<lp::SolverFactory> retries = sharpestRetries();
        for (std::size_t attempt = 0;;) {
            const GenerationEnd end = generation.run(side.stage, options_.roundLimit, visit);
            if (end == GenerationEnd::solved && generation.deviationsOpen() &&
                generation.deviation() > kConsistentDeviation) {
                // The data may be inconsistent: find out, and go on only
                // where they are not (held to them from now on).
                if (!checkTheData(generation)) {
                    search(side, until);
                    return;
                }
                generation.closeDeviations();
                continue;
            }
            if (end == GenerationEnd::stopped) {
                stopNow(until);  // says why, where the run's time is up
                search(side, until);
                return;
            }
            if (end == GenerationEnd::memoryPlan) {
                run_.stop = SharpestStop::memoryPlan;
                search(side, until);
                return;
            }
            side.report->complete = end == GenerationEnd::solved;
            if (end != GenerationEnd::solved) {
                why_ = generation.why();
                run_.note = why_ + "; its bound is the best proven before";
                search(side, until);
            }
            const std::optional<double> gap = distance(side);
            if (attempt >= retries.size() ||
                (end == GenerationEnd::solved && gap && *gap <= kTightness)) {
                return;
            }
            generation.restart(retries[attempt++]);
        }
    }

    // The solvers of the retries: the caller's own where it gave one.
    std::vector<lp::SolverFactory> sharpestRetries() const {
        if (options_.solverFactory) {
            return {options_.solverFactory, options_.solverFactory};
        }
        const auto withSettings = [](const lp::Settings& settings) -> lp::SolverFactory {
            return [settings] { return lp::makeSolver(settings); };
        };
        const lp::Settings usual = sharpestSolverSettings();
        lp::Settings tighter = usual;
        tighter.primalTolerance = 1e-10;
        tighter.dualTolerance = 1e-10;
        lp::Settings unscaled = usual;
        unscaled.libraryScaling = false;
        return {withSettings(usual), withSettings(tighter), withSettings(unscaled)};
    }

    std::int32_t n_;
    std::int32_t m_;
    const RealVector& prob_;
    const SharpestOptions& options_;
    SharpestRun& run_;
    // The lattice, where it is the space; the interior-point method needs it.
    std::optional<OutcomeRows> rows_;
    std::unique_ptr<MultiplierProver> latticeProver_;
    std::unique_ptr<OutcomeSpace> space_;
    Side sides_[2];
    std::optional<double> highestReached_;
    std::optional<double> lowestReached_;
    double proofSeconds_ = 0.0;
    std::string why_;               // why a side's LP did not end, where it did not
    std::vector<OutcomeId> seeds_;  // outcomes for the column generation to start from
    // When the column generation that follows the interior-point method ends.
    std::optional<Clock::time_point> polishUntil_;
};

}  // namespace

const char* stageName(SharpestStage stage) {
    switch (stage) {
        case SharpestStage::consistency:
            return "the check of the data";
        case SharpestStage::upper:
            return "the largest probability of the union";
        case SharpestStage::lower:
            return "the smallest probability of the union";
    }
    return "";
}

lp::Settings sharpestSolverSettings() {
    lp::Settings settings;
    // At the library's own tolerances (1e-7) thousands of columns sit just
    // inside them, and the LP's optimum misses the proven one visibly; at
    // 1e-9 they agree to about 12 digits, and the column generation ends sooner.
    settings.primalTolerance = 1e-9;
    settings.dualTolerance = 1e-9;
    return settings;
}

SharpestRun sharpestBoundsInDetail(std::int32_t n, std::int32_t m, const RealVector& prob,
                                   const SharpestOptions& options) {
    SharpestRun run;
    if (n < 1 || m < 1 || m > n) {
        noValues(run, "the sharpest bounds need n ≥ 1 and 1 ≤ m ≤ n (n = " + std::to_string(n) +
                          ", m = " + std::to_string(m) + ")");
        return run;
    }
    if (!sharpestFits(n, m)) {
        noValues(run, "n = " + std::to_string(n) +
                          " is too many events: " + describeSharpestMemoryPlan(n, m));
        return run;
    }
    if (static_cast<std::int64_t>(prob.size()) != intersectionCount(n, m)) {
        noValues(run, "the sharpest bounds for n = " + std::to_string(n) + ", m = " +
                          std::to_string(m) + " need " + std::to_string(intersectionCount(n, m)) +
                          " probabilities, not " + std::to_string(prob.size()));
        return run;
    }
    for (std::size_t k = 0; k < prob.size(); ++k) {
        if (!std::isfinite(prob[k])) {
            noValues(run, "probability " + std::to_string(k + 1) + " is not a finite number");
            return run;
        }
    }
    const auto positive = static_cast<double>(
        std::count_if(prob.begin(), prob.end(), [](double p) { return p != 0.0; }));
    if (n > largestLatticeEvents(m) && !eventSetsFit(positive, m)) {
        char plan[160];
        std::snprintf(plan, sizeof plan,
                      "%.0f positive intersections of order %d need about %.1f GiB for the "
                      "sharpest bounds, more than the %.0f GiB planned",
                      positive, static_cast<int>(m),
                      plannedEventSetBytes(positive, m) / (1024.0 * 1024.0 * 1024.0),
                      kSharpestMemoryBudget / (1024.0 * 1024.0 * 1024.0));
        noValues(run, plan);
        return run;
    }
    Computation(n, m, prob, options, run).compute();
    return run;
}

ProvenInterval sharpestBounds(std::int32_t n, std::int32_t m, const RealVector& prob,
                              const SharpestOptions& options) {
    return sharpestBoundsInDetail(n, m, prob, options).interval;
}

WholeProblemClaim wholeProblemClaim(std::int32_t n, std::int32_t m, const RealVector& prob,
                                    const lp::SolverFactory& factory) {
    WholeProblemClaim claim;
    const OutcomeRows rows(n, m);
    auto solver = factory ? factory() : lp::makeSolver(sharpestSolverSettings());
    lp::Rows lpRows{{1.0}, {1.0}};
    lpRows.lower.insert(lpRows.lower.end(), prob.begin(), prob.end());
    lpRows.upper.insert(lpRows.upper.end(), prob.begin(), prob.end());
    solver->setRows(lpRows);
    std::vector<lp::Column> columns(static_cast<std::size_t>(rows.outcomeCount()));
    for (std::size_t w = 0; w < columns.size(); ++w) {
        columns[w].cost = w == 0 ? 0.0 : -1.0;
        rows.rowsOfOutcome(static_cast<OutcomeMask>(w), columns[w].rows);
        columns[w].values.assign(columns[w].rows.size(), 1.0);
    }
    solver->addColumns(columns);
    const lp::Result largest = solver->solve();
    if (largest.status != lp::Status::optimal) {
        claim.why = "the largest: the LP solver " + lp::describe(largest.status);
        return claim;
    }
    for (std::int32_t column = 1; column < solver->columnCount(); ++column) {
        solver->setColumnCost(column, 1.0);
    }
    const lp::Result smallest = solver->solve();
    if (smallest.status != lp::Status::optimal) {
        claim.why = "the smallest: the LP solver " + lp::describe(smallest.status);
        return claim;
    }
    claim.ok = true;
    claim.largest = -largest.objective;
    claim.smallest = smallest.objective;
    return claim;
}

}  // namespace unionbound
