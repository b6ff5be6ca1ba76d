// The engine behind every front end, at its public API: which methods the
// sizes of a problem let run, bad input as error values with the program's
// messages, the same bounds whatever the source and the number of threads,
// the passes handed on in order, and the methods stopped early on request.
#include "unionbound/engine.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "e2e/program_runner.hpp"
#include "input/prob_reader.hpp"
#include "moments/problem_size.hpp"
#include "moments/subsets.hpp"
#include "reference/random_values.hpp"
#include "support/distribution.hpp"

namespace unionbound {
namespace {

using testing::sameBits;

Options asking(std::vector<std::string> methods) {
    Options options;
    options.methods = std::move(methods);
    return options;
}

// Six disjoint events of probability 1/8: the union is 0.75.
std::vector<double> disjointEvents() {
    std::vector<double> probabilities(6, 0.125);
    probabilities.resize(6 + 15 + 20, 0.0);
    return probabilities;
}

TEST(EngineSizes, LeaveOutAMethodThatCannotTakeThemWhileAnotherCanElseRefuseWithItsReason) {
    const std::string evenOrder = checkOrder(10, 2).message();
    const std::string noOrder = checkAnyOrder(10, 0).message();
    struct Case {
        std::vector<std::string> methods;
        std::int64_t n, m;
        std::vector<std::string> run;  // in the order they run
        std::vector<std::string> leftOut;
        std::string refusal;  // the start of it; empty: none
    };
    const Case cases[] = {
        {{"aggregation"}, 10, 3, {"aggregation"}, {}, ""},
        {{"classical", "aggregation", "sharpest", "exact"},
         10,
         3,
         {"exact", "sharpest", "aggregation", "classical"},
         {},
         ""},
        {{"aggregation", "exact", "classical"}, 10, 2, {"exact", "classical"}, {"aggregation"}, ""},
        {{"aggregation"}, 10, 2, {}, {}, evenOrder},
        // The classical bounds run only beside another method, unless alone.
        {{"aggregation", "classical"}, 10, 2, {}, {}, evenOrder},
        {{"classical"}, 10, 2, {"classical"}, {}, ""},
        {{"aggregation", "exact"}, 10, 0, {}, {}, noOrder},
        {{"aggregation", "sharpest"}, 31, 3, {"sharpest", "aggregation"}, {}, ""},
        {{"exat"},
         10,
         3,
         {},
         {},
         "unknown method \"exat\": the methods are exact, sharpest, "
         "aggregation, classical"},
        {{}, 10, 3, {}, {}, "no method asked for"},
    };
    for (const Case& c : cases) {
        Engine engine(asking(c.methods));
        const Expected<Plan> plan = engine.setProblem(Problem::fromFile(c.n, c.m, "unread.txt"));
        const std::string where = "n=" + std::to_string(c.n) + " m=" + std::to_string(c.m) +
                                  " asking " + std::to_string(c.methods.size());
        if (!c.refusal.empty()) {
            ASSERT_FALSE(plan.ok()) << where;
            EXPECT_EQ(plan.error().kind, ErrorKind::badInput) << where;
            EXPECT_EQ(plan.message().rfind(c.refusal, 0), 0u) << where << ": " << plan.message();
            continue;
        }
        ASSERT_TRUE(plan.ok()) << where << ": " << plan.message();
        EXPECT_EQ(plan.value().methods, c.run) << where;
        std::vector<std::string> leftOut;
        for (const LeftOut& left : plan.value().leftOut) {
            leftOut.push_back(left.method);
            EXPECT_EQ(left.why, evenOrder) << where;
        }
        EXPECT_EQ(leftOut, c.leftOut) << where;
    }
}

TEST(EngineSizes, NameTheMethodsThatCanRunForThemTheCompanionsOnlyBesideAnother) {
    struct Case {
        std::int64_t n, m;
        std::vector<std::string> methods;
    };
    const Case cases[] = {
        {10, 3, {"exact", "sharpest", "aggregation", "classical"}},
        {10, 2, {"exact", "sharpest", "classical"}},
        {5, 3, {"exact", "sharpest", "classical"}},  // too few events for two subsequences
        {31, 3, {"exact", "sharpest", "aggregation", "classical"}},  // beyond the lattice
        {10, 11, {}},
        {0, 0, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(methodsFor(c.n, c.m), c.methods) << "n=" << c.n << " m=" << c.m;
        if (!c.methods.empty()) {
            Engine engine(asking(c.methods));
            EXPECT_TRUE(engine.setProblem(Problem::fromFile(c.n, c.m, "unread.txt")).ok());
        }
    }
}

TEST(EngineReading, RefusesBadProbabilitiesAsErrorsWithTheMessagesOfTheProgram) {
    testing::ScratchDir dir;
    const std::string badFile = (dir.path() / "bad.txt").string();
    testing::writeFile(badFile, "0.1 0.2 0,3");
    const std::string missing = (dir.path() / "none.txt").string();
    std::vector<double> outOfRange = disjointEvents();
    outOfRange[7] = 1.5;  // P(1∩3)
    std::vector<double> notANumber = disjointEvents();
    notANumber[2] = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> pairTooLarge = disjointEvents();
    pairTooLarge[6] = 0.25;  // P(1∩2) above P(1)
    struct Case {
        const char* name;
        Problem problem;
        std::vector<std::string> methods;
        ErrorKind kind;
        std::string message;
    };
    const Case cases[] = {
        {"missing file",
         Problem::fromFile(6, 3, missing),
         {"aggregation"},
         ErrorKind::badInput,
         readIntersectionProbabilities(6, 3, missing).message()},
        {"bad word",
         Problem::fromFile(6, 3, badFile),
         {"aggregation"},
         ErrorKind::badInput,
         readIntersectionProbabilities(6, 3, badFile).message()},
        {"too few given",
         Problem::fromProbabilities(6, 3, {0.5, 0.5}),
         {"aggregation"},
         ErrorKind::badInput,
         "the given probabilities end after 2 of the 41 numbers expected for n=6, m=3"},
        {"out of range",
         Problem::fromProbabilities(6, 3, outOfRange),
         {"aggregation"},
         ErrorKind::badInput,
         "number 8 of 41 (the probability of the intersection of events 1, 3): 1.5 is not a "
         "probability: it lies outside [0, 1]"},
        {"not a number",
         Problem::fromProbabilities(6, 3, notANumber),
         {"aggregation"},
         ErrorKind::badInput,
         "number 3 of 41 (the probability of event 3): nan is not a number"},
        {"inconsistent pair",
         Problem::fromProbabilities(6, 3, pairTooLarge),
         {"aggregation", "exact"},
         ErrorKind::inconsistent,
         "the given probabilities are inconsistent: P(1∩2) = 0.25 (number 7) is larger than "
         "P(1) = 0.125 (number 1); no joint distribution of the events has them"},
    };
    for (const Case& c : cases) {
        const Expected<Result> result = bounds(c.problem, asking(c.methods));
        ASSERT_FALSE(result.ok()) << c.name;
        EXPECT_EQ(result.error().kind, c.kind) << c.name;
        EXPECT_EQ(result.message(), c.message) << c.name;
        EXPECT_NE(result.message(), "") << c.name;
    }
    // Without refusing them, the methods that need no consistent data run
    // on them all the same, and say so; the exact bounds refuse them anyway.
    const std::string broken = std::end(cases)[-1].message;
    for (const bool withExact : {false, true}) {
        Options options = asking(withExact ? std::vector<std::string>{"aggregation", "exact"}
                                           : std::vector<std::string>{"aggregation"});
        options.refuseInconsistentData = false;
        std::vector<std::string> told;
        options.warning = [&](std::string_view warning) { told.emplace_back(warning); };
        const Expected<Result> plain = bounds(Problem::fromProbabilities(6, 3, pairTooLarge), options);
        if (withExact) {
            EXPECT_EQ(plain.message(), broken);
            continue;
        }
        ASSERT_TRUE(plain.ok()) << plain.message();
        EXPECT_EQ(plain.value().consistency.violation, broken);
        EXPECT_EQ(plain.value().warnings,
                  std::vector<std::string>{broken + "; the bounds are computed all the same"});
        EXPECT_EQ(told, plain.value().warnings);
    }
}

// The probabilities as a file's text, each in the shortest form that reads
// back to the same double.
std::string asText(const std::vector<double>& probabilities) {
    std::string text;
    char buffer[40];
    for (const double p : probabilities) {
        text.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, p).ptr);
        text += '\n';
    }
    return text;
}

void expectSameBound(const Bound& a, const Bound& b, const std::string& where) {
    EXPECT_EQ(a.value.has_value(), b.value.has_value()) << where;
    if (a.value && b.value) {
        EXPECT_TRUE(sameBits(*a.value, *b.value)) << where;
    }
    EXPECT_EQ(a.proven, b.proven) << where;
    EXPECT_EQ(a.pass, b.pass) << where;
}

TEST(EngineRun, GivesTheSameBoundsFromAFileOrAVectorWithAnyNumberOfThreads) {
    std::mt19937_64 random(22);
    const std::int32_t n = 12, m = 3;
    const testing::JointDistribution mixture = testing::randomMixture(n, 6, 0.3, random);
    const std::vector<double> probabilities = testing::intersectionProbabilities(mixture, m);
    const double truth = testing::unionProbability(mixture);
    testing::ScratchDir dir;
    const std::string file = (dir.path() / "prob.txt").string();
    testing::writeFile(file, asText(probabilities));

    struct Run {
        Result result;
        std::vector<PassReport> passes;
        std::vector<std::string> methodsDone;
    };
    const auto run = [&](const Problem& problem, std::int32_t threads) {
        Run r;
        Options options = asking({"aggregation", "exact", "sharpest", "classical"});
        options.threads = threads;
        options.passDone = [&](const PassReport& pass) { r.passes.push_back(pass); };
        options.methodDone = [&](const MethodResult& done) { r.methodsDone.push_back(done.name); };
        Expected<Result> found = bounds(problem, options);
        EXPECT_TRUE(found.ok()) << found.message();
        r.result = std::move(found.value());
        return r;
    };
    const Run first = run(Problem::fromProbabilities(n, m, probabilities), 1);
    ASSERT_EQ(first.methodsDone,
              (std::vector<std::string>{"exact", "sharpest", "aggregation", "classical"}));
    ASSERT_EQ(first.passes.size(), static_cast<std::size_t>(n / 2 - m + 1));
    for (std::size_t i = 0; i < first.passes.size(); ++i) {
        EXPECT_EQ(first.passes[i].l, m + static_cast<std::int32_t>(i));
        EXPECT_EQ(first.passes[i].basisSubscripts.size(), first.passes[i].binomialMoments.size());
    }
    const Interval& best = first.result.best;
    ASSERT_TRUE(best.lower.value && best.upper.value);
    // Every step is timed.
    EXPECT_GT(first.result.readingSeconds, 0.0);
    for (const MethodResult& method : first.result.methods) {
        EXPECT_GT(method.seconds, 0.0) << method.name;
    }
    EXPECT_LE(*best.lower.value, truth + 1e-9);
    EXPECT_GE(*best.upper.value, truth - 1e-9);
    for (const MethodResult& method : first.result.methods) {
        if (method.upper.value) {
            EXPECT_LE(*best.upper.value, *method.upper.value) << method.name;
        }
        if (method.lower.value) {
            EXPECT_GE(*best.lower.value, *method.lower.value) << method.name;
        }
    }

    for (const bool fromFile : {false, true}) {
        for (const std::int32_t threads : {1, 2, 3}) {
            const Run again = run(fromFile ? Problem::fromFile(n, m, file)
                                           : Problem::fromProbabilities(n, m, probabilities),
                                  threads);
            const std::string where =
                (fromFile ? "file, " : "vector, ") + std::to_string(threads) + " threads";
            ASSERT_EQ(again.result.methods.size(), first.result.methods.size()) << where;
            for (std::size_t k = 0; k < first.result.methods.size(); ++k) {
                const MethodResult& a = first.result.methods[k];
                const MethodResult& b = again.result.methods[k];
                expectSameBound(a.upper, b.upper, where + ", " + a.name);
                expectSameBound(a.lower, b.lower, where + ", " + a.name);
                ASSERT_EQ(a.passes.size(), b.passes.size()) << where;
                for (std::size_t p = 0; p < a.passes.size(); ++p) {
                    expectSameBound(a.passes[p].upper, b.passes[p].upper, where + ", " + a.name);
                    expectSameBound(a.passes[p].lower, b.passes[p].lower, where + ", " + a.name);
                }
            }
            ASSERT_EQ(again.passes.size(), first.passes.size()) << where;
            for (std::size_t p = 0; p < first.passes.size(); ++p) {
                EXPECT_TRUE(sameBits(again.passes[p].objective, first.passes[p].objective));
                EXPECT_TRUE(
                    sameBits(again.passes[p].binomialMoments, first.passes[p].binomialMoments));
                EXPECT_EQ(again.passes[p].basisSubscripts, first.passes[p].basisSubscripts);
            }
        }
    }
}

TEST(EngineRun, TakesTheBestSideOfEveryMethodAndTheMostCertainAmongEqualValues) {
    // Disjoint events: the aggregation and Boole's bound both give 0.75
    // above; the classical bounds give 0.75 below, the exact ones a proven
    // hair under it.
    const Expected<Result> result = bounds(Problem::fromProbabilities(6, 3, disjointEvents()),
                                           asking({"aggregation", "exact", "classical"}));
    ASSERT_TRUE(result.ok()) << result.message();
    const Interval& best = result.value().best;
    EXPECT_EQ(best.upperMethod, "classical");
    EXPECT_TRUE(best.notes.empty());
    EXPECT_EQ(*best.upper.value, 0.75);
    EXPECT_FALSE(best.upper.proven);
    EXPECT_EQ(best.lowerMethod, "classical");
    const MethodResult* exact = result.value().method("exact");
    ASSERT_NE(exact, nullptr);
    EXPECT_TRUE(exact->lower.proven && exact->upper.proven);
    EXPECT_LT(*exact->lower.value, *best.lower.value);
    EXPECT_TRUE(result.value().consistency.pairsChecked);
}

TEST(EngineRun, StopsThePassesEarlyOnRequestOrAtTheTimeLimitAndSaysWhich) {
    struct Case {
        const char* name;
        std::optional<double> timeLimit;
        std::size_t stopAfterPasses;  // the aggregation passes before the request
        Stop stop;
        std::size_t exactPasses, aggregationPasses;
    };
    // Twelve events of order 3: four passes, l = 3 … 6.
    const Case cases[] = {
        {"time limit at once", 0.0, SIZE_MAX, Stop::timeLimit, 0, 0},
        {"asked at once", std::nullopt, 0, Stop::interrupted, 0, 0},
        {"asked after two passes", std::nullopt, 2, Stop::interrupted, 4, 2},
        {"never asked", std::nullopt, SIZE_MAX, Stop::none, 4, 4},
    };
    std::vector<double> twelve(intersectionCount(12, 3), 0.0);
    std::fill(twelve.begin(), twelve.begin() + 12, 0.05);
    for (const Case& c : cases) {
        std::size_t passes = 0;
        Options options = asking({"aggregation", "exact"});
        options.timeLimit = c.timeLimit;
        options.passDone = [&](const PassReport&) { ++passes; };
        if (c.stopAfterPasses != SIZE_MAX) {
            options.stopRequested = [&] { return passes >= c.stopAfterPasses; };
        }
        const Expected<Result> result = bounds(Problem::fromProbabilities(12, 3, twelve), options);
        ASSERT_TRUE(result.ok()) << c.name << ": " << result.message();
        const MethodResult* exact = result.value().method("exact");
        const MethodResult* aggregation = result.value().method("aggregation");
        EXPECT_EQ(exact->passes.size(), c.exactPasses) << c.name;
        EXPECT_EQ(aggregation->passes.size(), c.aggregationPasses) << c.name;
        EXPECT_EQ(aggregation->stop, c.stop) << c.name;
        EXPECT_EQ(exact->stop, c.exactPasses < 4 ? c.stop : Stop::none) << c.name;
        EXPECT_EQ(aggregation->upper.value.has_value(), c.aggregationPasses > 0) << c.name;
        EXPECT_EQ(passes, c.aggregationPasses) << c.name;
    }
}

TEST(EngineRun, SaysTheExactMethodWasStoppedBeforeItsFirstPassRatherThanThatItHadNone) {
    struct Case {
        const char* name;
        std::int32_t n, m;
        std::optional<double> timeLimit;
        bool askedAtOnce;
        Stop stop;
        std::string why;  // of both sides; empty: both have a value
    };
    const Case cases[] = {
        {"no length to run", 6, 4, std::nullopt, false, Stop::none, "no passes: m > n/2"},
        {"no length to run, asked at once", 6, 4, std::nullopt, true, Stop::none,
         "no passes: m > n/2"},
        {"time limit at once", 12, 3, 0.0, false, Stop::timeLimit,
         "stopped at the time limit before the first pass"},
        {"asked at once", 12, 3, std::nullopt, true, Stop::interrupted,
         "stopped by the stop request before the first pass"},
        {"not stopped", 12, 3, std::nullopt, false, Stop::none, ""},
    };
    for (const Case& c : cases) {
        for (const std::int32_t threads : {1, 3}) {
            std::vector<double> probabilities(intersectionCount(c.n, c.m), 0.0);
            std::fill(probabilities.begin(), probabilities.begin() + c.n, 0.05);
            Options options = asking({"exact"});
            options.threads = threads;
            options.timeLimit = c.timeLimit;
            if (c.askedAtOnce) {
                options.stopRequested = [] { return true; };
            }
            const Expected<Result> result =
                bounds(Problem::fromProbabilities(c.n, c.m, probabilities), options);
            const std::string where =
                std::string(c.name) + ", " + std::to_string(threads) + " threads";
            ASSERT_TRUE(result.ok()) << where << ": " << result.message();
            const MethodResult* exact = result.value().method("exact");
            ASSERT_NE(exact, nullptr) << where;
            EXPECT_EQ(exact->stop, c.stop) << where;
            for (const Bound* side : {&exact->upper, &exact->lower}) {
                EXPECT_EQ(side->value.has_value(), c.why.empty()) << where;
                if (!c.why.empty()) {
                    EXPECT_EQ(side->why, c.why) << where;
                }
            }
        }
    }
}

TEST(EngineRun, StartsAPassOnlyAfterTheStopCheckSaidGoOnWhateverTheThreads) {
    // Twenty events of order 3: eight passes of each method, l = 3 … 10,
    // the exact ones first.
    std::mt19937_64 random(21);
    const std::int32_t n = 20, m = 3;
    const std::vector<double> probabilities =
        testing::intersectionProbabilities(testing::randomMixture(n, 8, 0.3, random), m);
    const std::size_t passesPerMethod = 8;
    struct Run {
        Result result;
        std::size_t passes = 0;  // delivered, of both methods
        std::size_t goOns = 0;   // the stop requests that said to go on
    };
    const auto run = [&](std::int32_t threads, std::optional<double> timeLimit,
                         std::size_t stopAfterPasses) {
        Run r;
        Options options = asking({"aggregation", "exact"});
        options.threads = threads;
        options.timeLimit = timeLimit;
        options.progress = [&](const Progress& now) {
            r.passes += now.stage == "exact" || now.stage == "aggregation" ? 1 : 0;
        };
        const std::thread::id caller = std::this_thread::get_id();
        options.stopRequested = [&, caller] {
            EXPECT_EQ(std::this_thread::get_id(), caller) << "asked in a helper";
            // A check that takes a while, as one that waits for a lock does:
            // helpers that did not wait for it would start passes meanwhile.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            const bool stop = r.passes >= stopAfterPasses;
            r.goOns += stop ? 0 : 1;
            return stop;
        };
        Expected<Result> found = bounds(Problem::fromProbabilities(n, m, probabilities), options);
        EXPECT_TRUE(found.ok()) << found.message();
        r.result = std::move(found.value());
        return r;
    };
    const Run whole = run(1, std::nullopt, SIZE_MAX);
    ASSERT_EQ(whole.passes, 2 * passesPerMethod);

    struct Case {
        const char* name;
        std::optional<double> timeLimit;
        std::size_t stopAfterPasses;
        Stop stop;
    };
    const Case cases[] = {
        {"time limit at once", 0.0, SIZE_MAX, Stop::timeLimit},
        {"asked at once", std::nullopt, 0, Stop::interrupted},
        {"asked after three exact passes", std::nullopt, 3, Stop::interrupted},
        {"asked after three aggregation passes", std::nullopt, passesPerMethod + 3,
         Stop::interrupted},
        {"never asked to stop", std::nullopt, SIZE_MAX, Stop::none},
    };
    for (const Case& c : cases) {
        for (const std::int32_t threads : {1, 2, 4}) {
            const Run r = run(threads, c.timeLimit, c.stopAfterPasses);
            const std::string where =
                std::string(c.name) + ", " + std::to_string(threads) + " threads";
            // Each check that says go on lets the calling thread and every
            // helper start one pass at most; none starts after it says stop.
            EXPECT_LE(r.passes, r.goOns * static_cast<std::size_t>(threads)) << where;
            // Nor does the request stop them before it says so.
            EXPECT_GE(r.passes, c.timeLimit ? 0 : std::min(c.stopAfterPasses, 2 * passesPerMethod))
                << where;
            for (const std::string_view name : {"exact", "aggregation"}) {
                const MethodResult* stopped = r.result.method(name);
                const MethodResult* complete = whole.result.method(name);
                ASSERT_NE(stopped, nullptr) << where;
                EXPECT_EQ(stopped->stop,
                          stopped->passes.size() < passesPerMethod ? c.stop : Stop::none)
                    << where << ", " << name;
                // The passes that ran are the first ones, as a whole run has them.
                ASSERT_LE(stopped->passes.size(), complete->passes.size()) << where;
                for (std::size_t p = 0; p < stopped->passes.size(); ++p) {
                    EXPECT_EQ(stopped->passes[p].l, complete->passes[p].l) << where;
                    expectSameBound(stopped->passes[p].upper, complete->passes[p].upper,
                                    where + ", " + std::string(name));
                    expectSameBound(stopped->passes[p].lower, complete->passes[p].lower,
                                    where + ", " + std::string(name));
                }
            }
        }
    }
}

}  // namespace
}  // namespace unionbound
