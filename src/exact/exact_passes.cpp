#include "exact/exact_passes.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <new>
#include <string>
#include <thread>

#include "exact/exact_bounds.hpp"
#include "exact/pass_problem.hpp"
#include "moments/pass_division.hpp"

namespace unionbound {

std::vector<ExactPass> runExactPasses(const std::vector<PassMoments>& moments, std::int32_t n,
                                      std::int32_t m, std::int32_t threads,
                                      const ExactProgress& progress) {
    const std::vector<PassDivision> divisions = passDivisions(n, m);
    std::vector<ExactPass> passes(moments.size());
    for (std::size_t i = 0; i < passes.size(); ++i) {
        passes[i].l = divisions[i].l;
        passes[i].q = subsequenceCount(n, divisions[i].l);
    }

    // The passes are taken one at a time by whichever thread is free; the
    // calling thread works too and alone reports the progress.
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    const auto work = [&](bool reports) {
        for (std::size_t i = next++; i < passes.size(); i = next++) {
            try {
                passes[i].bounds =
                    exactPassBounds(makePassProblem(n, passes[i].l, m, moments[i].moments));
            } catch (const std::bad_alloc&) {
                const std::string why = "not enough memory for the pass's linear program";
                passes[i].bounds = {{std::nullopt, why}, {std::nullopt, why}, false, {}};
            } catch (const std::exception& error) {
                const std::string why =
                    std::string("the pass could not be solved: ") + error.what();
                passes[i].bounds = {{std::nullopt, why}, {std::nullopt, why}, false, {}};
            }
            ++done;
            if (reports && progress) {
                progress(done, passes.size());
            }
        }
    };
    const auto helpers = static_cast<std::size_t>(std::max(threads, 1) - 1);
    std::vector<std::thread> pool;
    for (std::size_t t = 0; t < helpers && t + 1 < passes.size(); ++t) {
        pool.emplace_back(work, false);
    }
    work(true);
    for (std::thread& thread : pool) {
        thread.join();
    }
    if (progress) {
        progress(passes.size(), passes.size());
    }
    return passes;
}

BestExactBounds bestExactBounds(const std::vector<ExactPass>& passes) {
    BestExactBounds best;
    best.passes = static_cast<std::int32_t>(passes.size());
    for (const ExactPass& pass : passes) {
        const std::optional<double>& upper = pass.bounds.upper.value;
        const std::optional<double>& lower = pass.bounds.lower.value;
        if (upper && (!best.upper || *upper < *best.upper)) {
            best.upper = upper;
            best.upperL = pass.l;
        }
        if (lower && (!best.lower || *lower > *best.lower)) {
            best.lower = lower;
            best.lowerL = pass.l;
        }
    }
    return best;
}

}  // namespace unionbound
