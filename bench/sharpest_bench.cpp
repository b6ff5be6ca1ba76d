// The benchmark of the sharpest bounds: for each case, probgen writes a
// seeded mixture (20 outcome vectors and the outcome without events), the
// library's reader reads it back, and the column generation computes the
// proven interval. Each case runs in a child process, so that its peak
// memory (ru_maxrss) is its own. The comparison case also gives the whole
// problem, all 2^n outcomes, to the same LP library in one LP, in the same
// run, and prints the ratio of the times.
//
//   sharpest_bench <probgen> <data folder> [--seed S] [--rounds] [CASE ...]
//
// A case is N-M (events, order), or N-M-whole for the side-by-side run; the
// default is 16-3-whole 20-3 20-5 24-3.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "input/prob_reader.hpp"
#include "sharpest/sharpest_bounds.hpp"

namespace {

using unionbound::RealVector;

struct Case {
    int n = 0;
    int m = 0;
    bool whole = false;
    std::string file;  // a prob.txt of one's own instead of a mixture
};

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string describe(const unionbound::ProvenBound& bound) {
    if (bound.value) {
        char text[32];
        std::snprintf(text, sizeof text, "%.15g", *bound.value);
        return text;
    }
    return "none (" + bound.why + ")";
}

// The body of one case, in the child process.
int runCase(const Case& c, const std::filesystem::path& file, double truth, bool showRounds) {
    const unionbound::ProbabilityInput input =
        unionbound::readIntersectionProbabilities(c.n, c.m, file.string());
    if (!input.ok()) {
        std::fprintf(stderr, "%s\n", input.message().c_str());
        return 1;
    }
    unionbound::SharpestOptions options;
    if (showRounds) {
        options.progress = [](const unionbound::SharpestRound& round) {
            std::printf(
                "    round %d (stage %d): working set %lld, largest violation %.3g, added %d\n",
                round.round, static_cast<int>(round.stage),
                static_cast<long long>(round.workingSet), round.largestViolation, round.added);
            std::fflush(stdout);
        };
    }
    double wall = wallSeconds();
    double cpu = cpuSeconds();
    const unionbound::SharpestRun run =
        unionbound::sharpestBoundsInDetail(c.n, c.m, input.value(), options);
    wall = wallSeconds() - wall;
    cpu = cpuSeconds() - cpu;
    std::printf("  sharpest: %.3f s wall, %.3f s CPU, %d rounds, %lld outcomes in the LP\n", wall,
                cpu, run.rounds, static_cast<long long>(run.workingSet));
    for (const auto* side : {&run.upper, &run.lower}) {
        const bool upper = side == &run.upper;
        std::printf("    %s %s (LP %.15g, distance %.2g, %d rounds, %.3f s)\n",
                    upper ? "upper" : "lower",
                    describe(upper ? run.interval.upper : run.interval.lower).c_str(),
                    side->solverValue, side->distance.value_or(-1.0), side->rounds,
                    side->seconds);
    }
    std::printf("    method %s, check of the data %.3f s\n",
                run.method == unionbound::SharpestMethod::interiorPoint ? "interior point"
                                                                        : "column generation",
                run.consistency.seconds);
    std::printf("    truth %.15g\n", truth);
    if (run.interval.inconsistent) {
        std::printf("    %s\n", run.interval.inconsistency.c_str());
    }
    if (c.whole) {
        double wholeWall = wallSeconds();
        double wholeCpu = cpuSeconds();
        const unionbound::WholeProblemClaim claim =
            unionbound::wholeProblemClaim(c.n, c.m, input.value());
        wholeWall = wallSeconds() - wholeWall;
        wholeCpu = cpuSeconds() - wholeCpu;
        std::printf("  whole LP: %.3f s wall, %.3f s CPU, %s: largest %.15g, smallest %.15g\n",
                    wholeWall, wholeCpu, claim.ok ? "optimal" : claim.why.c_str(), claim.largest,
                    claim.smallest);
        std::printf("  whole LP / sharpest: %.1f (wall), %.1f (CPU)\n", wholeWall / wall,
                    wholeCpu / cpu);
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(
            stderr,
            "usage: sharpest_bench <probgen> <data folder> [--seed S] [--rounds] [CASE ...]\n");
        return 2;
    }
    const std::filesystem::path probgen = std::filesystem::absolute(argv[1]);
    const std::filesystem::path data = std::filesystem::absolute(argv[2]);
    std::filesystem::create_directories(data);
    int seed = 1;
    bool showRounds = false;
    std::vector<Case> cases;
    for (int k = 3; k < argc; ++k) {
        const std::string word = argv[k];
        if (word == "--seed" && k + 1 < argc) {
            seed = std::atoi(argv[++k]);
            continue;
        }
        if (word == "--rounds") {
            showRounds = true;
            continue;
        }
        Case c;
        if (const auto colon = word.find(':'); colon != std::string::npos) {
            // PATH:N:M, a file of one's own.
            c.file = word.substr(0, colon);
            if (std::sscanf(word.c_str() + colon + 1, "%d:%d", &c.n, &c.m) != 2) {
                std::fprintf(stderr, "sharpest_bench: a file case is PATH:N:M, not %s\n",
                             word.c_str());
                return 2;
            }
            cases.push_back(c);
            continue;
        }
        char tail[16] = "";
        if (std::sscanf(word.c_str(), "%d-%d-%15s", &c.n, &c.m, tail) < 2) {
            std::fprintf(stderr, "sharpest_bench: a case is N-M or N-M-whole, not %s\n",
                         word.c_str());
            return 2;
        }
        c.whole = std::string(tail) == "whole";
        cases.push_back(c);
    }
    if (cases.empty()) {
        cases = {{16, 3, true}, {20, 3, false}, {20, 5, false}, {24, 3, false}};
    }
    for (const Case& c : cases) {
        if (!c.file.empty()) {
            std::printf("n = %d, m = %d (%s):\n", c.n, c.m, c.file.c_str());
            std::fflush(stdout);
            const pid_t child = fork();
            if (child == 0) {
                _exit(runCase(c, c.file, -1.0, showRounds));
            }
            int status = 0;
            rusage usage{};
            wait4(child, &status, 0, &usage);
            std::printf("  peak memory %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
            continue;
        }
        const std::filesystem::path file =
            data / ("sharpest-n" + std::to_string(c.n) + "-m" + std::to_string(c.m) + "-s" +
                    std::to_string(seed) + ".txt");
        const std::string command = probgen.string() + " -n " + std::to_string(c.n) + " -m " +
                                    std::to_string(c.m) + " --mixture " + std::to_string(seed) +
                                    " --outcomes 20 --output " + file.string();
        FILE* generator = popen(command.c_str(), "r");
        double truth = -1.0;
        char line[256];
        while (generator != nullptr && std::fgets(line, sizeof line, generator) != nullptr) {
            std::sscanf(line, "Probability of the union: %lf", &truth);
        }
        if (generator == nullptr || pclose(generator) != 0) {
            std::fprintf(stderr, "sharpest_bench: %s failed\n", command.c_str());
            return 1;
        }
        std::printf("n = %d, m = %d (mixture %d):\n", c.n, c.m, seed);
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            _exit(runCase(c, file, truth, showRounds));
        }
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        std::printf("  peak memory %.1f MiB, exit status %d\n",
                    static_cast<double>(usage.ru_maxrss) / 1024.0,
                    WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        std::fflush(stdout);
    }
    return 0;
}
