#include "app/driver.hpp"

#include <utility>
#include <vector>

#include "app/basis_subscripts.hpp"
#include "app/process_time.hpp"
#include "app/report.hpp"
#include "moments/moment_sweep.hpp"
#include "moments/power_moments.hpp"
#include "numeric/vector_ops.hpp"
#include "process/out_of_memory.hpp"

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
    PassTables tables;
    const std::int32_t q = n / l;
    const auto countRow = [](std::int32_t length) {
        RealVector row;
        for (std::int32_t j = 0; j <= length; ++j) {
            row.push_back(j);
        }
        return row;
    };
    for (std::int32_t k = 1; k <= q - 1; ++k) {
        tables.counts.push_back(countRow(l));
    }
    tables.counts.push_back(countRow(n - (q - 1) * l));
    for (std::int32_t i = 2; i <= q; ++i) {
        tables.pairs.push_back({1, i});
    }
    tables.orders.assign(q, mK);
    return tables;
}

namespace {

// The stages of a pass after its binomial moments, timed from `start`.
PassResult finishPass(std::int32_t l, std::int32_t m, PassTables tables, RealVector moments,
                      std::int64_t start) {
    PassResult pass;
    pass.l = l;
    pass.tables = std::move(tables);
    pass.moments = std::move(moments);
    const PassTables& t = pass.tables;
    const RealVector rhs = powerMoments(m, t.pairs, t.orders, pass.moments);
    pass.solution = solveBound(thresholdPenalty, t.counts, rhs, t.orders, t.pairs, m);
    pass.elapsed = static_cast<double>(processMilliseconds() - start) * 0.001;
    return pass;
}

}  // namespace

RunSummary runPasses(const RealVector& prob, std::int32_t n, std::int32_t m, std::ostream& report,
                     const std::function<void(const PassResult&)>& afterPass) {
    const std::int32_t mK = m;
    writeReportHeader(report, n, m, mK);

    // The binomial moments of all passes come from one walk over the
    // probabilities (every sum still in its own order). Each pass is charged
    // a share of the walk's time in proportion to the terms its sums add.
    std::vector<PassDivision> divisions;
    for (std::int32_t l = mK; l <= n / 2; ++l) {
        PassTables tables = passTables(n, l, mK);
        divisions.push_back({l, std::move(tables.pairs), std::move(tables.orders)});
    }
    const std::int64_t walkStart = processMilliseconds();
    std::vector<PassMoments> allMoments =
        buildingFor("the binomial moments of the " + std::to_string(divisions.size()) + " passes",
                    [&] { return binomialMomentsOfPasses(prob, n, m, divisions); });
    std::vector<std::uint64_t> terms;
    for (const PassMoments& moments : allMoments) {
        terms.push_back(moments.terms);
    }
    const std::vector<std::int64_t> walkShares =
        apportionMilliseconds(processMilliseconds() - walkStart, terms);

    RunSummary best{kSearchStart, 0.0, mK};
    for (std::size_t i = 0; i < divisions.size(); ++i) {
        const std::int32_t l = divisions[i].l;
        const std::int64_t start = processMilliseconds();
        PassResult pass = buildingFor("the tables of the pass l=" + std::to_string(l), [&] {
            return finishPass(l, m, passTables(n, l, mK), std::move(allMoments[i].moments),
                              start - walkShares[i]);
        });
        if (l == mK || pass.solution.value > best.bestValue) {
            best = {pass.solution.value, pass.elapsed, l};
        }
        const BoundSolution& s = pass.solution;
        writePassBlock(
            report, l, m, s, pass.elapsed, pass.moments,
            basisSubscripts(m, pass.tables.pairs, pass.tables.orders, s.Vks, s.Kjs, s.jbest));
        if (afterPass) {
            afterPass(pass);
        }
    }
    return best;
}

}  // namespace unionbound
