#include "aggregation/passes.hpp"

#include <string>
#include <utility>
#include <vector>

#include "moments/power_moments.hpp"
#include "process/out_of_memory.hpp"
#include "threads/clocks.hpp"
#include "threads/pool.hpp"

namespace unionbound {

double thresholdPenalty(const RealVector& point) {
    for (double component : point) {
        if (component > 0.1) {
            return -1.0;
        }
    }
    return 0.0;
}

PassTables passTables(std::int32_t n, std::int32_t l, std::int32_t mK) {
    PassDivision division = passDivision(n, l, mK);
    PassTables tables;
    for (const std::int32_t length : subsequenceLengths(n, l)) {
        RealVector row;
        for (std::int32_t j = 0; j <= length; ++j) {
            row.push_back(j);
        }
        tables.counts.push_back(std::move(row));
    }
    tables.pairs = std::move(division.pairs);
    tables.orders = std::move(division.orders);
    return tables;
}

namespace {

// The stages of a pass after its binomial moments; `walkShare` milliseconds
// of the walk are added to the processor time of the stages in this thread.
PassResult finishPass(std::int32_t n, std::int32_t l, std::int32_t m, RealVector moments,
                      std::int64_t walkShare) {
    const std::int64_t start = threadMicroseconds() / 1000 - walkShare;
    PassResult pass;
    pass.l = l;
    pass.tables = passTables(n, l, m);
    pass.moments = std::move(moments);
    const PassTables& t = pass.tables;
    const RealVector rhs = powerMoments(m, t.pairs, t.orders, pass.moments);
    pass.solution = solveBound(thresholdPenalty, t.counts, rhs, t.orders, t.pairs, m);
    pass.elapsed = static_cast<double>(threadMicroseconds() / 1000 - start) * 0.001;
    return pass;
}

}  // namespace

RunSummary runPassesFromMoments(std::vector<PassMoments> moments, std::int64_t walkMicroseconds,
                                std::int32_t n, std::int32_t m, ThreadPool& pool,
                                const std::function<void(const PassResult&)>& afterPass,
                                const std::function<bool()>& stop) {
    const std::int32_t mK = m;

    // Each pass is charged a share of the walk's time in proportion to the
    // terms its sums add.
    std::vector<std::uint64_t> terms;
    for (const PassMoments& pass : moments) {
        terms.push_back(static_cast<std::uint64_t>(pass.terms));
    }
    const std::vector<std::int64_t> walkShares =
        apportionMilliseconds(walkMicroseconds / 1000, terms);

    RunSummary best{kSearchStart, 0.0, mK, 0};
    const auto compute = [&](std::size_t i) {
        const std::int32_t l = mK + static_cast<std::int32_t>(i);
        return buildingFor("the tables of the pass l=" + std::to_string(l), [&] {
            return finishPass(n, l, m, std::move(moments[i].moments), walkShares[i]);
        });
    };
    const auto deliver = [&](std::size_t, PassResult pass) {
        if (pass.l == mK || pass.solution.value > best.bestValue) {
            best = {pass.solution.value, pass.elapsed, pass.l, best.passes};
        }
        ++best.passes;
        if (afterPass) {
            afterPass(pass);
        }
    };
    computeInOrder<PassResult>(pool, moments.size(), compute, deliver, stop);
    return best;
}

RunSummary runPasses(const RealVector& prob, std::int32_t n, std::int32_t m,
                     const std::function<void(const PassResult&)>& afterPass) {
    const std::int64_t walkStart = threadMicroseconds();
    std::vector<PassMoments> moments = binomialMomentsOfPasses(prob, n, m, passDivisions(n, m));
    ThreadPool alone(1);
    return runPassesFromMoments(std::move(moments), threadMicroseconds() - walkStart, n, m, alone,
                                afterPass);
}

}  // namespace unionbound
