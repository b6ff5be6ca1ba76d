// The exact bounds of every pass of one input, timed: reads prob.txt with the
// program's reader, sums the binomial moments of the passes l = m … n/2 in
// one walk, then solves each pass (one thread) and prints one line per pass
// and the totals.
//
//   exact_bench <prob.txt> <n> <m> [--threads T] [--repeat R] [--only l …] [--quiet]
//
// With T threads the passes are shared out one at a time; each pass's
// result does not depend on T, only the wall time does. With --repeat R each
// pass is solved R times and its least processor time is shown (the wall
// times add up all R). "tries" gives, for the upper and the lower side, the
// attempts made and the one whose value was kept (-1: none proved).
//
// Inputs as in bench/run, e.g. B: probgen -n 80 -m 5 --mixture 2 --outcomes 20
// --density 1 --output B.txt; D: probgen -n 500 -m 3 --mixture 4 --outcomes 20
// --density 1 --output D.txt.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "exact/exact_bounds.hpp"
#include "input/prob_reader.hpp"
#include "moments/moment_sweep.hpp"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The processor time of the calling thread, in seconds: what a pass costs
// on a shared machine, where its wall time also counts the other programs.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

double valueOr(const unionbound::ProvenBound& bound, double otherwise) {
    return bound.value ? *bound.value : otherwise;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace unionbound;
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: exact_bench <prob.txt> <n> <m> [--threads T] [--repeat R] [--only l "
                     "…] [--quiet]\n");
        return 2;
    }
    const std::string path = argv[1];
    const auto n = static_cast<std::int32_t>(std::atoi(argv[2]));
    const auto m = static_cast<std::int32_t>(std::atoi(argv[3]));
    std::vector<std::int32_t> only;
    bool quiet = false;
    int threads = 1;
    int repeat = 1;
    for (int i = 4; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--quiet") {
            quiet = true;
        } else if (word == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (word == "--threads" && i + 1 < argc) {
            threads = std::max(1, std::atoi(argv[++i]));
        } else if (word != "--only") {
            only.push_back(static_cast<std::int32_t>(std::atoi(argv[i])));
        }
    }

    auto start = std::chrono::steady_clock::now();
    const ProbabilityInput input = readIntersectionProbabilities(n, m, path);
    if (!input.ok()) {
        std::fprintf(stderr, "%s\n", input.message().c_str());
        return 1;
    }
    const double readSeconds = secondsSince(start);

    start = std::chrono::steady_clock::now();
    std::vector<PassDivision> divisions;
    for (std::int32_t l = m; l <= n / 2; ++l) {
        if (!only.empty() && std::find(only.begin(), only.end(), l) == only.end()) {
            continue;
        }
        const std::int32_t q = n / l;
        IntMatrix pairs;
        for (std::int32_t c = 2; c <= q; ++c) {
            pairs.push_back({1, c});
        }
        divisions.push_back({l, pairs, IntVector(static_cast<std::size_t>(q), m)});
    }
    const std::vector<PassMoments> moments =
        binomialMomentsOfPasses(input.value(), n, m, divisions);
    const double momentSeconds = secondsSince(start);

    if (!quiet) {
        std::printf("%5s %4s %6s %7s %6s %8s %9s %9s  %-19s %-19s %9s %9s %9s %9s %s\n", "l", "q",
                    "rows", "cells", "solves", "iters", "seconds", "cpu s", "exact upper",
                    "exact lower", "up-claim", "claim-lo", "repair up", "repair lo", "tries");
    }
    double exactSeconds = 0.0;
    double exactCpu = 0.0;
    double slowest = 0.0;
    std::int32_t slowestL = 0;
    double bestUpper = 2.0;
    double bestLower = -1.0;
    std::int32_t unproven = 0;
    start = std::chrono::steady_clock::now();
    const std::vector<ExactAttempt> attempts = exactSolverAttempts();
    std::vector<ExactPassResult> results(divisions.size());
    std::vector<double> cpu(divisions.size(), 0.0);
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t p = next++; p < divisions.size(); p = next++) {
            const PassProblem problem = makePassProblem(n, divisions[p].l, m, moments[p].moments);
            for (int r = 0; r < repeat; ++r) {
                const double before = threadSeconds();
                results[p] = solveExactPass(problem, attempts);
                const double spent = threadSeconds() - before;
                cpu[p] = r == 0 ? spent : std::min(cpu[p], spent);
            }
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t) {
        helpers.emplace_back(work);
    }
    work();
    for (std::thread& helper : helpers) {
        helper.join();
    }
    const double wall = secondsSince(start);
    for (std::size_t p = 0; p < divisions.size(); ++p) {
        const ExactPassResult& result = results[p];
        const ExactPassStatistics& s = result.statistics;
        exactSeconds += s.seconds;
        exactCpu += cpu[p];
        if (s.seconds > slowest) {
            slowest = s.seconds;
            slowestL = divisions[p].l;
        }
        const double upper = valueOr(result.bounds.upper, std::nan(""));
        const double lower = valueOr(result.bounds.lower, std::nan(""));
        unproven += (result.bounds.upper.value ? 0 : 1) + (result.bounds.lower.value ? 0 : 1);
        bestUpper = std::min(bestUpper, valueOr(result.bounds.upper, 2.0));
        bestLower = std::max(bestLower, valueOr(result.bounds.lower, -1.0));
        if (!quiet) {
            std::printf(
                "%5d %4d %6d %7d %6d %8lld %9.4f %9.4f  %.17f %.17f %9.1e %9.1e %9.1e %9.1e "
                "%d:%d/%d:%d %s%s%s\n",
                divisions[p].l, n / divisions[p].l, s.rows, s.cells, s.rounds,
                static_cast<long long>(s.iterations), s.seconds, cpu[p], upper, lower,
                upper - s.claimedUpper, s.claimedLower - lower, s.upperRepair, s.lowerRepair,
                s.upperAttempts, s.upperKept, s.lowerAttempts, s.lowerKept,
                result.bounds.upper.why.c_str(),
                result.bounds.lower.why.empty() ? "" : (" / " + result.bounds.lower.why).c_str(),
                result.bounds.inconsistent ? result.bounds.inconsistency.c_str() : "");
        }
    }
    std::printf(
        "read %.3f s, moments %.3f s, exact bounds of %zu passes %.3f s, processor %.3f s "
        "(wall %.3f s on %d threads, slowest l = %d: %.3f s), %d values not proven\n",
        readSeconds, momentSeconds, divisions.size(), exactSeconds, exactCpu, wall, threads,
        slowestL, slowest, unproven);
    std::printf("best exact upper %.17g, best exact lower %.17g\n", bestUpper, bestLower);
    return 0;
}
