#include "engine/methods.hpp"

#include <cstdio>
#include <utility>

#include "aggregation/basis_subscripts.hpp"
#include "aggregation/passes.hpp"
#include "classical/classical_bounds.hpp"
#include "exact/exact_passes.hpp"
#include "moments/pass_division.hpp"
#include "process/out_of_memory.hpp"
#include "sharpest/sharpest_bounds.hpp"
#include "text/number_format.hpp"

namespace unionbound::engine {

StopCheck::StopCheck(std::optional<std::chrono::steady_clock::time_point> deadline,
                     std::function<bool()> requested)
    : deadline_(deadline), requested_(std::move(requested)) {}

bool StopCheck::operator()() {
    if (reason_ == Stop::none) {
        if (deadline_ && std::chrono::steady_clock::now() >= *deadline_) {
            reason_ = Stop::timeLimit;
        } else if (requested_ && requested_()) {
            reason_ = Stop::interrupted;
        }
    }
    return reason_ != Stop::none;
}

void MethodContext::progress(std::string_view stage, std::int64_t done, std::int64_t total,
                             std::string text) const {
    if (options.progress) {
        options.progress(Progress{std::string(stage), done, total, std::move(text)});
    }
}

namespace {

Bound noBound(std::string why) {
    Bound bound;
    bound.why = std::move(why);
    return bound;
}

// --- the aggregation method -------------------------------------------

Expected<MethodResult> runAggregation(MethodContext& c) {
    MethodResult result;
    result.name = method::aggregation;
    result.lower = noBound("the aggregation method gives no lower bound");
    const auto lengths = static_cast<std::int64_t>(c.data.passMoments.size());
    const auto afterPass = [&](const PassResult& pass) {
        const BoundSolution& s = pass.solution;
        PassReport report;
        report.l = pass.l;
        report.q = static_cast<std::int32_t>(pass.tables.counts.size());
        report.objective = s.value;
        report.seconds = pass.elapsed;
        report.binomialMoments = pass.moments;
        report.kjs = s.Kjs;
        report.jbest = s.jbest;
        report.vks = s.Vks;
        report.basisSubscripts =
            basisSubscripts(c.m, pass.tables.pairs, pass.tables.orders, s.Vks, s.Kjs, s.jbest);
        if (c.options.passDone) {
            c.options.passDone(report);
        }
        PassBounds row;
        row.l = pass.l;
        row.q = report.q;
        row.upper.value = -s.value;
        row.upper.pass = pass.l;
        row.lower = result.lower;
        row.seconds = pass.elapsed;
        result.passes.push_back(std::move(row));
        c.progress(method::aggregation, static_cast<std::int64_t>(result.passes.size()), lengths,
                   "pass l=" + std::to_string(pass.l) + " done (" +
                       std::to_string(result.passes.size()) + " of " + std::to_string(lengths) +
                       "), bound " + general15(-s.value));
    };
    const RunSummary best = runPassesFromMoments(c.data.passMoments, c.data.walkMicroseconds, c.n,
                                                 c.m, c.pool, afterPass, std::ref(c.stop));
    if (best.passes > 0) {
        result.upper.value = -best.bestValue;
        result.upper.pass = best.bestL;
    } else {
        result.upper.why = "no pass ran";
    }
    if (best.passes < lengths) {
        result.stop = c.stop.reason();
    }
    return result;
}

// --- the exact bounds of every pass -----------------------------------

Bound provenBound(const ProvenBound& proven, std::int32_t l) {
    Bound bound;
    bound.value = proven.value;
    bound.proven = true;
    bound.why = proven.why;
    bound.pass = l;
    return bound;
}

Expected<MethodResult> runExact(MethodContext& c) {
    const std::vector<ExactPass> passes = runExactPasses(
        c.data.passMoments, c.n, c.m, c.pool,
        [&](std::size_t done, std::size_t total) {
            c.progress(method::exact, static_cast<std::int64_t>(done),
                       static_cast<std::int64_t>(total),
                       "exact bounds: " + std::to_string(done) + " of " + std::to_string(total) +
                           " passes solved");
        },
        std::ref(c.stop));
    for (const ExactPass& pass : passes) {
        if (pass.bounds.inconsistent) {
            return Error{ErrorKind::inconsistent,
                         c.subject +
                             " are inconsistent: no joint distribution of the events has them, as "
                             "the pass l=" +
                             std::to_string(pass.l) + " proves: " + pass.bounds.inconsistency};
        }
    }
    MethodResult result;
    result.name = method::exact;
    for (const ExactPass& pass : passes) {
        result.passes.push_back(PassBounds{pass.l, pass.q, provenBound(pass.bounds.upper, pass.l),
                                           provenBound(pass.bounds.lower, pass.l), std::nullopt});
    }
    // The smallest upper and the largest lower bound; the first pass wins
    // among equal values. Without a pass, either there was none to run or
    // the run was stopped before the first.
    std::string none = "none proven";
    if (c.data.passMoments.empty()) {
        none = "no passes: m > n/2";
    } else if (passes.empty()) {
        none = c.stop.reason() == Stop::timeLimit
                   ? "stopped at the time limit before the first pass"
                   : "stopped by the stop request before the first pass";
    }
    result.upper = noBound(none);
    result.lower = noBound(none);
    result.upper.proven = result.lower.proven = true;
    for (const PassBounds& pass : result.passes) {
        if (pass.upper.value && (!result.upper.value || *pass.upper.value < *result.upper.value)) {
            result.upper = pass.upper;
        }
        if (pass.lower.value && (!result.lower.value || *pass.lower.value > *result.lower.value)) {
            result.lower = pass.lower;
        }
    }
    if (passes.size() < c.data.passMoments.size()) {
        result.stop = c.stop.reason();
    }
    return result;
}

// --- the sharpest bounds ----------------------------------------------

Stop stopOf(SharpestStop stop) {
    switch (stop) {
        case SharpestStop::timeLimit:
            return Stop::timeLimit;
        case SharpestStop::interrupted:
            return Stop::interrupted;
        case SharpestStop::memoryPlan:
            return Stop::memoryPlan;
        case SharpestStop::none:
            break;
    }
    return Stop::none;
}

Expected<MethodResult> runSharpest(MethodContext& c) {
    SharpestOptions settings;
    settings.progress = [&](const SharpestRound& round) {
        // Both sides' best proven bounds and how far each may still be off,
        // closing round by round (short enough for one line of a terminal).
        const auto value = [](const std::optional<double>& v) {
            char text[32];
            std::snprintf(text, sizeof text, "%.8g", v.value_or(0.0));
            return v ? std::string(text) : std::string("none");
        };
        const auto off = [](const std::optional<double>& v) {
            char text[32];
            std::snprintf(text, sizeof text, "%.2g", v.value_or(0.0));
            return v ? std::string(text) : std::string("?");
        };
        c.progress(method::sharpest, round.round, 0,
                   "sharpest bounds, round " + std::to_string(round.round) + ": [" +
                       value(round.lower) + ", " + value(round.upper) + "] within " +
                       off(round.lowerDistance) + " and " + off(round.upperDistance));
    };
    settings.deadline = c.stop.deadline();
    settings.stopRequested = c.stop.requested();
    // Bounds the methods before proved hold for the sharpest value too: each
    // side starts from the best of them.
    for (const MethodResult& before : *c.earlier) {
        if (before.upper.proven && before.upper.value &&
            (!settings.knownUpper || *before.upper.value < *settings.knownUpper)) {
            settings.knownUpper = before.upper.value;
        }
        if (before.lower.proven && before.lower.value &&
            (!settings.knownLower || *before.lower.value > *settings.knownLower)) {
            settings.knownLower = before.lower.value;
        }
    }
    // The passes over the lattice on the pool's helpers and the calling thread.
    settings.parallel = [&c](std::size_t parts, const std::function<void(std::size_t)>& body) {
        forEachPart(c.pool, parts, body);
    };
    const SharpestRun run = buildingFor(
        "the sharpest bounds of " + std::to_string(c.n) + " events",
        [&] { return sharpestBoundsInDetail(c.n, c.m, c.data.probabilities, settings); });
    if (run.interval.inconsistent) {
        return Error{ErrorKind::inconsistent,
                     c.subject +
                         " are inconsistent: no joint distribution of the events has them: " +
                         run.interval.inconsistency};
    }
    MethodResult result;
    result.name = method::sharpest;
    result.upper = provenBound(run.interval.upper, 0);
    result.upper.distance = run.upper.distance;
    result.lower = provenBound(run.interval.lower, 0);
    result.lower.distance = run.lower.distance;
    result.stop = stopOf(run.stop);
    if (!run.note.empty()) {
        c.warn("the sharpest bounds: " + run.note);
    }
    return result;
}

// --- the classical bounds ---------------------------------------------

Expected<MethodResult> runClassical(MethodContext& c) {
    const ClassicalBounds bounds = buildingFor("the classical bounds", [&] {
        return classicalBounds(c.data.sums, c.data.singlesAndPairs, c.n, c.m);
    });
    MethodResult result;
    result.name = method::classical;
    NamedClassicalBounds named = namedClassicalBounds(c.m, bounds);
    result.upperParts = std::move(named.upper);
    result.lowerParts = std::move(named.lower);
    // The method's bounds are the best of its parts, the first among equal.
    result.upper = noBound("no classical upper bound holds for m=" + std::to_string(c.m));
    for (const NamedBound& part : result.upperParts) {
        if (part.value && (!result.upper.value || *part.value < *result.upper.value)) {
            result.upper = Bound{part.value, false, "", std::nullopt, 0};
        }
    }
    result.lower = noBound("no classical lower bound holds for m=" + std::to_string(c.m));
    for (const NamedBound& part : result.lowerParts) {
        if (part.value && (!result.lower.value || *part.value > *result.lower.value)) {
            result.lower = Bound{part.value, false, "", std::nullopt, 0};
        }
    }
    return result;
}

}  // namespace

const std::vector<MethodEntry>& methodList() {
    static const std::vector<MethodEntry> list = {
        {method::exact, Certainty::proven, false, checkAnyOrder,
         Needs{.passMoments = true, .consistentData = true}, runExact},
        {method::sharpest, Certainty::proven, false, checkAnyOrder,
         Needs{.everyProbability = true, .consistentData = true}, runSharpest},
        {method::aggregation, Certainty::floatingPoint, false, checkOrder,
         Needs{.passMoments = true}, runAggregation},
        {method::classical, Certainty::closedForm, true, checkAnyOrder,
         Needs{.sums = true, .singlesAndPairs = true}, runClassical},
    };
    return list;
}

}  // namespace unionbound::engine
