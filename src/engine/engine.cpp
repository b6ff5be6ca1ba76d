#include "unionbound/engine.hpp"

#include <algorithm>
#include <chrono>
#include <exception>
#include <functional>
#include <new>
#include <optional>
#include <thread>
#include <utility>

#include "classical/frechet.hpp"
#include "engine/best_interval.hpp"
#include "engine/methods.hpp"
#include "input/probability_reading.hpp"
#include "moments/pass_division.hpp"
#include "moments/subsets.hpp"
#include "numeric/diagnostics.hpp"
#include "numeric/proven_bound.hpp"
#include "process/out_of_memory.hpp"
#include "text/number_format.hpp"

namespace unionbound {

using engine::MethodContext;
using engine::MethodEntry;
using engine::bestInterval;
using engine::methodList;

struct Engine::State {
    Options options;
    std::optional<Problem> problem;
    ProblemSize size;
    std::vector<const MethodEntry*> running;
    std::vector<LeftOut> leftOut;
    std::unique_ptr<ThreadPool> pool;
    std::optional<ReadingResult> data;
    Consistency consistency;
    std::vector<std::string> warnings;
    double readingSeconds = 0.0;

    void warn(std::string warning) {
        if (options.warning) {
            options.warning(warning);
        }
        warnings.push_back(std::move(warning));
    }

    // The run's diagnostics go where the options say, in every step.
    const DiagnosticSink* sink() const {
        return options.diagnostics ? &options.diagnostics : nullptr;
    }
    // "the probabilities of "prob.txt"", as messages name them.
    std::string subject() const {
        if (problem->standardInput) {
            return "the probabilities read from standard input";
        }
        return problem->file.empty() ? std::string("the given probabilities")
                                     : "the probabilities of \"" + problem->file + "\"";
    }
};

namespace {

// Runs a step of the engine; running out of memory, or anything else
// thrown, becomes the step's error.
template <typename T, typename Step>
Expected<T> guarded(Step&& step) {
    try {
        return std::forward<Step>(step)();
    } catch (const OutOfMemory& error) {
        return Error{ErrorKind::outOfMemory, error.what()};
    } catch (const std::bad_alloc&) {
        return Error{ErrorKind::outOfMemory, "not enough memory for the run"};
    } catch (const std::exception& error) {
        return Error{ErrorKind::failed, error.what()};
    }
}

const MethodEntry* entryNamed(std::string_view name) {
    for (const MethodEntry& entry : methodList()) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

std::string methodNames() {
    std::string names;
    for (const MethodEntry& entry : methodList()) {
        names += (names.empty() ? "" : ", ") + std::string(entry.name);
    }
    return names;
}

// The message for probabilities that break the Fréchet bounds of a pair.
std::string inconsistentPair(const FrechetViolation& v, std::int32_t n, std::int32_t m,
                             const std::string& subject) {
    const auto number = [&](const IntVector& events) {
        return std::to_string(subsetPosition(n, m, events) + 1);
    };
    const std::string pair = "P(" + std::to_string(v.a) + "∩" + std::to_string(v.b) +
                             ") = " + general15(v.pair) + " (number " + number({v.a, v.b}) + ")";
    const auto single = [&](std::int32_t event, double p) {
        return "P(" + std::to_string(event) + ") = " + general15(p) + " (number " +
               number({event}) + ")";
    };
    std::string broken;
    if (v.aboveEvent) {
        const bool first = v.first <= v.second;
        broken = pair + " is larger than " + (first ? single(v.a, v.first) : single(v.b, v.second));
    } else {
        broken = pair + " is smaller than " + single(v.a, v.first) + " + " + single(v.b, v.second) +
                 " - 1";
    }
    return subject + " are inconsistent: " + broken +
           "; no joint distribution of the events has them";
}

// The reading of the problem's probabilities, from its file or its vector.
Parsed<ReadingResult> readingOf(const Problem& problem, std::int32_t n, std::int32_t m,
                                const ReadingRequest& request,
                                const std::function<void(const Progress&)>& progress) {
    const std::string count = std::to_string(intersectionCount(n, m));
    if (problem.file.empty() && !problem.standardInput) {
        return buildingFor("the " + count + " intersection probabilities given",
                           [&] { return readProbabilities(n, m, problem.probabilities, request); });
    }
    const TextSource source =
        problem.standardInput ? TextSource::input() : TextSource::file(problem.file);
    const auto told = [&](std::int64_t numbersRead, std::int64_t expected) {
        if (progress) {
            progress({"reading", numbersRead, expected,
                      "reading " + source.shown() + ": " + std::to_string(numbersRead) + " of " +
                          std::to_string(expected) + " numbers (" +
                          std::to_string(numbersRead * 100 / expected) + "%)"});
        }
    };
    return buildingFor("the " + count + " intersection probabilities of " + source.shown(),
                       [&] { return readProbabilities(n, m, source, request, told); });
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

Engine::Engine(Options options) : state_(std::make_unique<State>()) {
    state_->options = std::move(options);
}

Engine::~Engine() = default;
Engine::Engine(Engine&&) noexcept = default;
Engine& Engine::operator=(Engine&&) noexcept = default;

Expected<Plan> Engine::setProblem(Problem problem) {
    State& s = *state_;
    const DiagnosticScope scope(s.sink());
    s.problem = std::move(problem);
    s.running.clear();
    s.leftOut.clear();
    s.data.reset();
    return guarded<Plan>([&]() -> Expected<Plan> {
        std::vector<const MethodEntry*> asked;
        for (const std::string& name : s.options.methods) {
            const MethodEntry* entry = entryNamed(name);
            if (entry == nullptr) {
                return refuse("unknown method \"" + name + "\": the methods are " + methodNames());
            }
            asked.push_back(entry);
        }
        if (asked.empty()) {
            return refuse("no method asked for: the methods are " + methodNames());
        }
        // A method that cannot take the sizes is left out while another
        // can run; the companions alone do not decide.
        const bool onlyCompanions = std::all_of(asked.begin(), asked.end(),
                                                [](const MethodEntry* e) { return e->companion; });
        std::optional<std::string> firstRefusal;
        std::optional<ProblemSize> size;
        Plan plan;
        for (const MethodEntry& entry : methodList()) {
            if (std::find(asked.begin(), asked.end(), &entry) == asked.end()) {
                continue;
            }
            const Parsed<ProblemSize> fits = entry.sizes(s.problem->n, s.problem->m);
            const bool decides = onlyCompanions || !entry.companion;
            if (fits.ok()) {
                if (decides) {
                    size = fits.value();
                }
                s.running.push_back(&entry);
            } else {
                if (decides && !firstRefusal) {
                    firstRefusal = fits.message();
                }
                s.leftOut.push_back({std::string(entry.name), fits.message()});
            }
        }
        if (!size) {
            s.running.clear();
            s.leftOut.clear();
            return refuse(*firstRefusal);
        }
        s.size = *size;
        for (const MethodEntry* entry : s.running) {
            plan.methods.emplace_back(entry->name);
        }
        plan.leftOut = s.leftOut;
        return plan;
    });
}

Expected<void> Engine::readProbabilities() {
    State& s = *state_;
    if (!s.problem) {
        return refuse("no problem was given");
    }
    if (s.running.empty()) {
        if (const Expected<Plan> plan = setProblem(*s.problem); !plan.ok()) {
            return plan.error();
        }
    }
    const DiagnosticScope scope(s.sink());
    return guarded<void>([&]() -> Expected<void> {
        const auto started = std::chrono::steady_clock::now();
        const std::int32_t n = s.size.n, m = s.size.m;
        engine::Needs needs;
        for (const MethodEntry* entry : s.running) {
            needs.passMoments = needs.passMoments || entry->needs.passMoments;
            needs.sums = needs.sums || entry->needs.sums;
            needs.singlesAndPairs = needs.singlesAndPairs || entry->needs.singlesAndPairs;
            needs.everyProbability = needs.everyProbability || entry->needs.everyProbability;
            needs.consistentData = needs.consistentData || entry->needs.consistentData;
        }
        // The pairs are checked in every run: data that no distribution has
        // give no meaningful bound.
        const bool pairsUsed = needs.singlesAndPairs;
        needs.singlesAndPairs = true;
        if (!s.pool) {
            // 0 threads: one per core (1 when the count is unknown).
            const std::int32_t threads =
                s.options.threads > 0
                    ? s.options.threads
                    : static_cast<std::int32_t>(std::max(1u, std::thread::hardware_concurrency()));
            s.pool = std::make_unique<ThreadPool>(threads);
        }
        ReadingRequest request;
        if (needs.passMoments) {
            request.passes = passDivisions(n, m);
        }
        request.sums = needs.sums;
        request.singlesAndPairs = needs.singlesAndPairs;
        request.everyProbability = needs.everyProbability;
        request.pool = s.pool.get();
        Parsed<ReadingResult> read = readingOf(*s.problem, n, m, request, s.options.progress);
        if (!read.ok()) {
            return read.error();
        }
        s.warnings.clear();
        if (const std::int64_t after = read.value().trailingWords; after > 0) {
            const TextSource source =
                s.problem->standardInput ? TextSource::input() : TextSource::file(s.problem->file);
            const std::int64_t expected = intersectionCount(n, m);
            s.warn(source.shown() + " holds " + std::to_string(expected + after) +
                   " words, not the " + std::to_string(expected) + " numbers expected for n=" +
                   std::to_string(n) + ", m=" + std::to_string(m) + ": the " +
                   std::to_string(after) + " after them are not read");
        }
        s.consistency = {};
        if (const auto violation =
                firstFrechetViolation(read.value().singlesAndPairs, n, m, kRoundingOfTheData)) {
            const std::string broken = inconsistentPair(*violation, n, m, s.subject());
            if (needs.consistentData || s.options.refuseInconsistentData) {
                return Error{ErrorKind::inconsistent, broken};
            }
            s.consistency.violation = broken;
            s.warn(broken + "; the bounds are computed all the same");
        }
        s.consistency.pairsChecked = true;
        if (!pairsUsed) {
            read.value().singlesAndPairs = {};
        }
        s.data = std::move(read.value());
        s.readingSeconds = secondsSince(started);
        return {};
    });
}

Expected<Result> Engine::run() {
    State& s = *state_;
    if (!s.data) {
        if (const Expected<void> read = readProbabilities(); !read.ok()) {
            return read.error();
        }
    }
    const DiagnosticScope scope(s.sink());
    return guarded<Result>([&]() -> Expected<Result> {
        // A limit beyond a century is none: its clock ticks would overflow.
        constexpr double kLongestTimeLimit = 100.0 * 365 * 24 * 3600;
        std::optional<std::chrono::steady_clock::time_point> deadline;
        if (s.options.timeLimit && *s.options.timeLimit < kLongestTimeLimit) {
            deadline = std::chrono::steady_clock::now() +
                       std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                           std::chrono::duration<double>(*s.options.timeLimit));
        }
        engine::StopCheck stop(deadline, s.options.stopRequested);
        MethodContext context{s.size.n,  s.size.m, *s.data,      *s.pool,
                              s.options, stop,     s.subject(), [&s](std::string warning) {
                                  s.warn(std::move(warning));
                              }};
        Result result;
        result.n = s.size.n;
        result.m = s.size.m;
        result.leftOut = s.leftOut;
        result.consistency = s.consistency;
        result.readingSeconds = s.readingSeconds;
        context.earlier = &result.methods;
        for (const MethodEntry* entry : s.running) {
            const auto started = std::chrono::steady_clock::now();
            Expected<MethodResult> found = entry->run(context);
            if (!found.ok()) {
                return found.error();
            }
            found.value().seconds = secondsSince(started);
            result.methods.push_back(std::move(found.value()));
            if (s.options.methodDone) {
                s.options.methodDone(result.methods.back());
            }
        }
        result.warnings = s.warnings;
        result.best = bestInterval(result.methods);
        return result;
    });
}

Expected<Result> bounds(Problem problem, const Options& options) {
    Engine engine(options);
    if (const Expected<Plan> plan = engine.setProblem(std::move(problem)); !plan.ok()) {
        return plan.error();
    }
    if (const Expected<void> read = engine.readProbabilities(); !read.ok()) {
        return read.error();
    }
    return engine.run();
}

std::vector<std::string> methodsFor(std::int64_t n, std::int64_t m) {
    std::vector<std::string> methods;
    bool another = false;
    for (const MethodEntry& entry : methodList()) {
        const Parsed<ProblemSize> fits = entry.sizes(n, m);
        if (fits.ok()) {
            methods.emplace_back(entry.name);
            another = another || !entry.companion;
        }
    }
    if (!another) {
        methods.clear();
    }
    return methods;
}

}  // namespace unionbound
