// The scale benchmark: generates the inputs A to E (once, with probgen), then runs the
// parse-only baseline and the program on each, one after the other, and
// prints the running time and peak memory of both and their ratio. The
// input F (n = 1000, m = 3, about 3.6 GB of text) is run only when named.
//
//   scale_bench <program> <parse_baseline> <probgen> <data folder>
//               [--limit SECONDS] [--repeat K] [--threads K] [--exact] [A B C D E F]
//
// With --exact, each input also gets a batch run with --exact (the proven
// exact bounds of every pass besides the plain run), on its own line, with
// its ratio to the same baseline; its memory limit is the plain run's peak
// plus 64 MiB.
// The program runs in <data folder>/<input>/ with "n\nm\n\n\n" at its
// console; its console output is left in stdout.txt beside result.txt.
// --threads K runs it with UNIONBOUND_THREADS=K (default: as the
// environment has it, else the number of cores).
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "moments/subsets.hpp"

namespace {

struct Input {
    const char* name;
    int n;
    int m;
    unsigned seed;
    bool onlyWhenNamed;  // too large to run unless asked for
};

constexpr Input kInputs[] = {
    {"A", 60, 5, 1, false},  {"B", 80, 5, 2, false}, {"C", 300, 3, 3, false},
    {"D", 500, 3, 4, false}, {"E", 24, 7, 5, false}, {"F", 1000, 3, 6, true},
};

// The program's peak memory may not pass this on any input.
constexpr double kMemoryLimitMB = 64.0 * 1024.0 * 1024.0 / 1e6;

struct Run {
    double wall = 0.0;  // seconds
    double cpu = 0.0;   // user + system seconds
    long peakKiB = 0;
    int status = -1;
    bool timedOut = false;
};

// Runs argv in `dir` with `input` on standard input and standard output sent
// to `outFile`; kills it after `limit` seconds (0: no limit).
Run runChild(const std::vector<std::string>& args, const std::filesystem::path& dir,
             const std::string& input, const std::filesystem::path& outFile, double limit) {
    int toChild[2];
    if (pipe(toChild) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(toChild[0], 0);
        close(toChild[0]);
        close(toChild[1]);
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        close(out);
        if (chdir(dir.c_str()) != 0) {
            _exit(126);
        }
        std::vector<char*> argv;
        std::vector<std::string> copies = args;
        for (std::string& a : copies) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(toChild[0]);
    if (!input.empty() && write(toChild[1], input.data(), input.size()) < 0) {
        std::perror("write");
    }
    close(toChild[1]);

    Run run;
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) {
            break;
        }
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (limit > 0 && elapsed > limit && !run.timedOut) {
            kill(pid, SIGKILL);
            run.timedOut = true;
        }
        usleep(2000);
    }
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    run.peakKiB = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr,
                     "usage: scale_bench <program> <parse_baseline> <probgen> <data folder> "
                     "[--limit SECONDS] [--repeat K] [--threads K] [--exact] [A B C D E F]\n");
        return 2;
    }
    const std::filesystem::path program = std::filesystem::absolute(argv[1]);
    const std::filesystem::path baseline = std::filesystem::absolute(argv[2]);
    const std::filesystem::path generator = std::filesystem::absolute(argv[3]);
    const std::filesystem::path data = std::filesystem::absolute(argv[4]);
    double limit = 0.0;
    int repeat = 1;
    bool exact = false;
    std::vector<std::string> wanted;
    for (int i = 5; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--limit" && i + 1 < argc) {
            limit = std::atof(argv[++i]);
        } else if (a == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--threads" && i + 1 < argc) {
            setenv("UNIONBOUND_THREADS", argv[++i], 1);
        } else if (a == "--exact") {
            exact = true;
        } else {
            wanted.push_back(a);
        }
    }

    std::printf("%-5s %4s %2s %11s | %9s %9s %9s | %9s %9s %9s | %6s %6s | %s\n", "input", "n", "m",
                "numbers", "parse s", "parse cpu", "parse MB", "run s", "run cpu", "run MB",
                "ratio", "cpu r.", "memory limit");
    for (const Input& input : kInputs) {
        const bool named = std::find(wanted.begin(), wanted.end(), input.name) != wanted.end();
        if ((!wanted.empty() || input.onlyWhenNamed) && !named) {
            continue;
        }
        const std::filesystem::path dir = data / input.name;
        std::filesystem::create_directories(dir);
        const std::filesystem::path prob = dir / "prob.txt";
        const long long count = unionbound::intersectionCount(input.n, input.m);
        if (!std::filesystem::exists(prob)) {
            std::fprintf(stderr, "generating %s (n=%d, m=%d, %lld numbers)...\n", input.name,
                         input.n, input.m, count);
            // A seeded mixture of 20 outcome vectors, each holding up to all
            // the events, so that nearly every intersection has a probability
            // written with 15 to 17 digits.
            const Run made =
                runChild({generator.string(), "-n", std::to_string(input.n), "-m",
                          std::to_string(input.m), "--mixture", std::to_string(input.seed),
                          "--outcomes", "20", "--density", "1", "--output", prob.string()},
                         dir, "", "/dev/null", 0.0);
            if (made.status != 0) {
                std::fprintf(stderr, "the generator failed\n");
                return 1;
            }
        }
        const std::string console =
            std::to_string(input.n) + "\n" + std::to_string(input.m) + "\n\n\n";
        // Baseline before and after the program; the faster of the two runs
        // counts, so that a disturbance on a shared machine does not flatter
        // the ratio.
        Run base{1e300, 1e300, 0, 0, false};
        Run run{1e300, 1e300, 0, 0, false};
        Run exactRun{1e300, 1e300, 0, 0, false};
        const auto keepFastest = [](Run& kept, const Run& one) {
            kept.status = one.status;
            kept.timedOut = kept.timedOut || one.timedOut;
            kept.wall = std::min(kept.wall, one.wall);
            kept.cpu = std::min(kept.cpu, one.cpu);
            kept.peakKiB = std::max(kept.peakKiB, one.peakKiB);
        };
        for (int r = 0; r < repeat; ++r) {
            for (int b = 0; b < 2; ++b) {
                const Run one = runChild({baseline.string(), prob.string(), std::to_string(count)},
                                         dir, "", dir / "baseline.txt", 0.0);
                base.wall = std::min(base.wall, one.wall);
                base.cpu = std::min(base.cpu, one.cpu);
                base.peakKiB = std::max(base.peakKiB, one.peakKiB);
                if (b == 0) {
                    keepFastest(run, runChild({program.string()}, dir, console,
                                              dir / "stdout.txt", limit));
                    if (exact) {
                        keepFastest(exactRun,
                                    runChild({program.string(), "-n", std::to_string(input.n),
                                              "-m", std::to_string(input.m), "--exact",
                                              "--report", "result-exact.txt"},
                                             dir, "", dir / "stdout-exact.txt", limit));
                    }
                }
            }
        }
        const double limitMB = kMemoryLimitMB;
        const double runMB = static_cast<double>(run.peakKiB) * 1024.0 / 1e6;
        std::printf(
            "%-5s %4d %2d %11lld | %9.3f %9.3f %9.1f | %9.3f %9.3f %9.1f | %6.2f %6.2f | "
            "%.1f MB %s%s\n",
            input.name, input.n, input.m, count, base.wall, base.cpu,
            static_cast<double>(base.peakKiB) * 1024.0 / 1e6, run.wall, run.cpu, runMB,
            run.wall / base.wall, run.cpu / base.cpu, limitMB, runMB <= limitMB ? "ok" : "EXCEEDED",
            run.timedOut ? " (program stopped at the time limit)"
                         : (run.status != 0 ? " (program failed)" : ""));
        if (exact) {
            const double exactMB = static_cast<double>(exactRun.peakKiB) * 1024.0 / 1e6;
            const double exactLimitMB = runMB + 64.0 * 1024.0 * 1024.0 / 1e6;
            std::printf(
                "%-5s %4s %2s %11s | %9s %9s %9s | %9.3f %9.3f %9.1f | %6.2f %6.2f | "
                "%.1f MB %s%s\n",
                "exact", "", "", "", "", "", "", exactRun.wall, exactRun.cpu, exactMB,
                exactRun.wall / base.wall, exactRun.cpu / base.cpu, exactLimitMB,
                exactMB <= exactLimitMB ? "ok" : "EXCEEDED",
                exactRun.timedOut ? " (program stopped at the time limit)"
                                  : (exactRun.status != 0 ? " (program failed)" : ""));
        }
        std::fflush(stdout);
    }
    return 0;
}
