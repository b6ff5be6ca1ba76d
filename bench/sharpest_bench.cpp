// The benchmark of the sharpest bounds: for each case, probgen writes the
// probabilities of one kind of data, the library's reader reads them back,
// and the sharpest bounds are computed, both sides with their proofs. Each
// case runs in a child process, so that its peak memory (ru_maxrss) is its
// own. A case marked "whole" also gives the whole problem, all 2^n
// outcomes, to the same LP library in one LP, in the same run, and prints
// the ratio of the times.
//
//   sharpest_bench <probgen> <data folder> [--seed S] [--threads K]
//                  [--time-limit SECONDS] [--method cg|ipm] [--pricing lattice|bb]
//                  [--rounds] [CASE ...]
//
// A case is KIND-N-M or KIND-N-M-whole, KIND one of
//   mixture      20 random outcome vectors and the empty one (sparse: most
//                intersections of three events have probability 0)
//   independent  independent events, probabilities 0.05 … 0.3
//   clustered    groups of four events under hidden switches
//   records      50,000 synthetic items tagged with a few events each
// or PATH:N:M for a file of one's own. The default is the table of docs/benchmarks.md.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "input/prob_reader.hpp"
#include "sharpest/sharpest_bounds.hpp"
#include "threads/pool.hpp"

namespace {

using unionbound::RealVector;

struct Case {
    std::string kind;  // or the file's path
    int n = 0;
    int m = 0;
    bool whole = false;
    bool file = false;
};

struct Settings {
    int seed = 1;
    int threads = 2;
    double timeLimit = 0.0;  // none
    unionbound::SharpestMethod method = unionbound::SharpestMethod::automatic;
    unionbound::SharpestPricing pricing = unionbound::SharpestPricing::automatic;
    bool rounds = false;
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
        std::snprintf(text, sizeof text, "%.12g", *bound.value);
        return text;
    }
    return "none (" + bound.why + ")";
}

// The probabilities of the independent kind: 0.05 … 0.3, spread by the
// golden ratio.
std::string independentProbabilities(int n) {
    std::string list;
    for (int i = 1; i <= n; ++i) {
        const double spread = std::fmod(0.6180339887498949 * i, 1.0);
        char value[32];
        std::snprintf(value, sizeof value, "%s%.4f", i > 1 ? "," : "", 0.05 + 0.25 * spread);
        list += value;
    }
    return list;
}

// The body of one case, in the child process.
int runCase(const Case& c, const std::filesystem::path& file, double truth, const Settings& s) {
    const unionbound::ProbabilityInput input =
        unionbound::readIntersectionProbabilities(c.n, c.m, file.string());
    if (!input.ok()) {
        std::fprintf(stderr, "%s\n", input.message().c_str());
        return 1;
    }
    std::int64_t positive = 0;
    for (double p : input.value()) {
        positive += p != 0.0 ? 1 : 0;
    }
    unionbound::ThreadPool pool(s.threads);
    unionbound::SharpestOptions options;
    options.method = s.method;
    options.pricing = s.pricing;
    // The passes over the lattice shared as the program shares them.
    options.parallel = [&pool](std::size_t parts, const std::function<void(std::size_t)>& body) {
        unionbound::forEachPart(pool, parts, body);
    };
    if (s.timeLimit > 0.0) {
        options.deadline = std::chrono::steady_clock::now() +
                           std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                               std::chrono::duration<double>(s.timeLimit));
    }
    if (s.rounds) {
        options.progress = [](const unionbound::SharpestRound& round) {
            std::printf("    round %d (stage %d): [%.10g, %.10g], largest violation %.3g, "
                        "working set %lld\n",
                        round.round, static_cast<int>(round.stage), round.lower.value_or(-1.0),
                        round.upper.value_or(-1.0), round.largestViolation,
                        static_cast<long long>(round.workingSet));
            std::fflush(stdout);
        };
    }
    double wall = wallSeconds();
    double cpu = cpuSeconds();
    const unionbound::SharpestRun run =
        unionbound::sharpestBoundsInDetail(c.n, c.m, input.value(), options);
    wall = wallSeconds() - wall;
    cpu = cpuSeconds() - cpu;
    const char* method =
        run.method == unionbound::SharpestMethod::interiorPoint ? "interior point" : "columns";
    const char* pricing =
        run.pricing == unionbound::SharpestPricing::lattice ? "lattice" : "branch and bound";
    std::printf("  %lld positive intersections; %s, %s; %d rounds, %lld outcomes in the LP\n",
                static_cast<long long>(positive), method, pricing, run.rounds,
                static_cast<long long>(run.workingSet));
    std::printf("  sharpest: %.3f s wall, %.3f s CPU%s\n", wall, cpu,
                run.stop == unionbound::SharpestStop::none ? "" : " (stopped early)");
    for (const auto* side : {&run.upper, &run.lower}) {
        const bool upper = side == &run.upper;
        std::printf("    %s %s (distance %.2g, %d rounds, %.3f s)\n", upper ? "upper" : "lower",
                    describe(upper ? run.interval.upper : run.interval.lower).c_str(),
                    side->distance.value_or(-1.0), side->rounds, side->seconds);
    }
    if (run.consistency.rounds > 0) {
        std::printf("    check of the data: %d rounds, %.3f s\n", run.consistency.rounds,
                    run.consistency.seconds);
    }
    if (truth >= 0.0) {
        const bool holds = (!run.interval.upper.value || *run.interval.upper.value >= truth) &&
                           (!run.interval.lower.value || *run.interval.lower.value <= truth);
        std::printf("    truth %.12g (%s)\n", truth, holds ? "inside" : "OUTSIDE");
    }
    if (!run.note.empty()) {
        std::printf("    note: %s\n", run.note.c_str());
    }
    if (c.whole) {
        double wholeWall = wallSeconds();
        double wholeCpu = cpuSeconds();
        const unionbound::WholeProblemClaim claim =
            unionbound::wholeProblemClaim(c.n, c.m, input.value());
        wholeWall = wallSeconds() - wholeWall;
        wholeCpu = cpuSeconds() - wholeCpu;
        std::printf("  whole LP: %.3f s wall, %.3f s CPU, %s: largest %.12g, smallest %.12g\n",
                    wholeWall, wholeCpu, claim.ok ? "optimal" : claim.why.c_str(), claim.largest,
                    claim.smallest);
        std::printf("  whole LP / sharpest: %.1f (wall), %.1f (CPU)\n", wholeWall / wall,
                    wholeCpu / cpu);
    }
    std::fflush(stdout);
    return 0;
}

// Writes the case's probabilities with probgen; the truth it prints, or −1.
double generate(const std::filesystem::path& probgen, const Case& c, int seed,
                const std::filesystem::path& file) {
    std::string source;
    if (c.kind == "mixture") {
        source = "--mixture " + std::to_string(seed) + " --outcomes 20";
    } else if (c.kind == "independent") {
        source = "--independent " + independentProbabilities(c.n);
    } else if (c.kind == "clustered") {
        source = "--clustered " + std::to_string(seed);
    } else {
        source = "--records " + std::to_string(seed);
    }
    const std::string command = probgen.string() + " -n " + std::to_string(c.n) + " -m " +
                                std::to_string(c.m) + " " + source + " --output " + file.string();
    FILE* generator = popen(command.c_str(), "r");
    double truth = -1.0;
    char line[256];
    while (generator != nullptr && std::fgets(line, sizeof line, generator) != nullptr) {
        if (std::sscanf(line, "Probability of the union: %lf", &truth) != 1) {
            std::sscanf(line, "Empirical probability of the union: %lf", &truth);
        }
    }
    if (generator == nullptr || pclose(generator) != 0) {
        std::fprintf(stderr, "sharpest_bench: %s failed\n", command.c_str());
        std::exit(1);
    }
    return truth;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: sharpest_bench <probgen> <data folder> [--seed S] [--threads K] "
                     "[--time-limit SECONDS] [--method cg|ipm] [--pricing lattice|bb] "
                     "[--rounds] [CASE ...]\n");
        return 2;
    }
    const std::filesystem::path probgen = std::filesystem::absolute(argv[1]);
    const std::filesystem::path data = std::filesystem::absolute(argv[2]);
    std::filesystem::create_directories(data);
    Settings settings;
    std::vector<Case> cases;
    for (int k = 3; k < argc; ++k) {
        const std::string word = argv[k];
        const bool valued = k + 1 < argc;
        if (word == "--seed" && valued) {
            settings.seed = std::atoi(argv[++k]);
        } else if (word == "--threads" && valued) {
            settings.threads = std::atoi(argv[++k]);
        } else if (word == "--time-limit" && valued) {
            settings.timeLimit = std::atof(argv[++k]);
        } else if (word == "--method" && valued) {
            const std::string value = argv[++k];
            settings.method = value == "ipm" ? unionbound::SharpestMethod::interiorPoint
                                             : unionbound::SharpestMethod::columnGeneration;
        } else if (word == "--pricing" && valued) {
            const std::string value = argv[++k];
            settings.pricing = value == "lattice" ? unionbound::SharpestPricing::lattice
                                                  : unionbound::SharpestPricing::branchAndBound;
        } else if (word == "--rounds") {
            settings.rounds = true;
        } else {
            Case c;
            if (const auto colon = word.find(':'); colon != std::string::npos) {
                c.kind = word.substr(0, colon);
                c.file = true;
                if (std::sscanf(word.c_str() + colon + 1, "%d:%d", &c.n, &c.m) != 2) {
                    std::fprintf(stderr, "sharpest_bench: a file case is PATH:N:M, not %s\n",
                                 word.c_str());
                    return 2;
                }
            } else {
                const auto dash = word.find('-');
                char tail[16] = "";
                if (dash == std::string::npos ||
                    std::sscanf(word.c_str() + dash + 1, "%d-%d-%15s", &c.n, &c.m, tail) < 2) {
                    std::fprintf(stderr, "sharpest_bench: a case is KIND-N-M[-whole], not %s\n",
                                 word.c_str());
                    return 2;
                }
                c.kind = word.substr(0, dash);
                c.whole = std::string(tail) == "whole";
                if (c.kind != "mixture" && c.kind != "independent" && c.kind != "clustered" &&
                    c.kind != "records") {
                    std::fprintf(stderr, "sharpest_bench: no kind %s\n", c.kind.c_str());
                    return 2;
                }
            }
            cases.push_back(c);
        }
    }
    if (cases.empty()) {
        for (const char* name :
             {"clustered-16-3-whole", "independent-16-3", "records-16-3", "mixture-16-3",
              "clustered-20-3", "independent-20-3", "records-24-3", "mixture-24-3",
              "clustered-14-5", "mixture-20-5", "clustered-24-3", "independent-24-3",
              "records-40-3", "records-60-3", "records-100-2", "mixture-40-3", "mixture-40-5",
              "clustered-32-3"}) {
            Case c;
            const std::string word = name;
            const auto dash = word.find('-');
            char tail[16] = "";
            std::sscanf(name + dash + 1, "%d-%d-%15s", &c.n, &c.m, tail);
            c.kind = word.substr(0, dash);
            c.whole = std::string(tail) == "whole";
            cases.push_back(c);
        }
    }
    for (const Case& c : cases) {
        std::filesystem::path file = c.kind;
        double truth = -1.0;
        if (c.file) {
            std::printf("%s, n = %d, m = %d:\n", c.kind.c_str(), c.n, c.m);
        } else {
            file = data / (c.kind + "-n" + std::to_string(c.n) + "-m" + std::to_string(c.m) +
                           "-s" + std::to_string(settings.seed) + ".txt");
            truth = generate(probgen, c, settings.seed, file);
            std::printf("%s, n = %d, m = %d (seed %d):\n", c.kind.c_str(), c.n, c.m,
                        settings.seed);
        }
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            _exit(runCase(c, file, truth, settings));
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
