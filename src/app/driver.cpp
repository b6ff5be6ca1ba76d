#include "app/driver.hpp"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>

#include "app/basis_subscripts.hpp"
#include "app/console_input.hpp"
#include "app/prob_reader.hpp"
#include "app/report.hpp"
#include "moments/binomial_moments.hpp"
#include "moments/power_moments.hpp"
#include "numeric/vector_ops.hpp"

namespace unionbound {

namespace {

// The process clock in milliseconds.
std::int64_t processMilliseconds() {
    return static_cast<std::int64_t>(std::clock()) * 1000 / CLOCKS_PER_SEC;
}

}  // namespace

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

PassResult runPass(const RealVector& prob, std::int32_t n, std::int32_t l, std::int32_t m,
                   std::int32_t mK) {
    PassResult pass;
    pass.l = l;
    const std::int64_t start = processMilliseconds();
    pass.tables = passTables(n, l, mK);
    const PassTables& t = pass.tables;
    pass.moments = binomialMoments(prob, n, l, m, t.pairs, t.orders);
    const RealVector rhs = MatVecProduct(powerMomentMatrix(m, t.pairs, t.orders), pass.moments);
    pass.solution = solveBound(thresholdPenalty, t.counts, rhs, t.orders, t.pairs, m);
    pass.elapsed = static_cast<double>(processMilliseconds() - start) * 0.001;
    return pass;
}

RunSummary runPasses(const RealVector& prob, std::int32_t n, std::int32_t m, std::ostream& report,
                     const std::function<void(const PassResult&)>& afterPass) {
    const std::int32_t mK = m;
    writeReportHeader(report, n, m, mK);
    RunSummary best{kSearchStart, 0.0, mK};
    for (std::int32_t l = mK; l <= n / 2; ++l) {
        const PassResult pass = runPass(prob, n, l, m, mK);
        if (l == mK || pass.solution.value > best.bestValue) {
            best = {pass.solution.value, pass.elapsed, l};
        }
        const BoundSolution& s = pass.solution;
        writePassBlock(report, l, m, s, pass.elapsed, pass.moments,
                       basisSubscripts(m, pass.tables.pairs, pass.tables.orders, s.Vks, s.Kjs,
                                       s.jbest));
        if (afterPass) {
            afterPass(pass);
        }
    }
    return best;
}

int runConsole(std::istream& in, std::ostream& out, std::ostream& err,
               const std::string& inputPath, const std::string& reportPath) {
    const ConsoleAnswers answers = askEventsAndOrder(in, out);
    if (!answers.problem.empty()) {
        err << "error: " << answers.problem << std::endl;
        return kExitBadData;
    }
    const std::int32_t n = answers.n;
    const std::int32_t m = answers.m;
    const ProbabilityInput input = readIntersectionProbabilities(n, m, inputPath);
    if (!input.ok()) {
        err << "error: " << input.error << std::endl;
        return kExitBadData;
    }

    // A report that cannot be written does not stop the passes or the
    // summary, but the run does not count as a success: the report is its
    // record.
    std::ofstream report(reportPath, std::ios::out | std::ios::trunc);
    const bool opened = static_cast<bool>(report);
    if (!opened) {
        err << "warning: cannot write the report \"" << reportPath << "\": "
            << std::strerror(errno) << "; the passes run without it" << std::endl;
    }
    int writeErrno = 0;
    std::int32_t passesWritten = 0;
    const RunSummary best = runPasses(input.values, n, m, report, [&](const PassResult&) {
        if (report.fail()) {
            writeErrno = writeErrno != 0 ? writeErrno : errno;
        } else {
            ++passesWritten;
        }
    });
    report.close();
    if (opened && report.fail()) {
        err << "warning: writing the report \"" << reportPath << "\" failed after "
            << passesWritten << " complete pass blocks"
            << (writeErrno != 0 ? std::string(": ") + std::strerror(writeErrno) : std::string())
            << "; the report is incomplete" << std::endl;
    }

    writeConsoleSummary(out, best.bestValue, best.bestTime, best.bestL);
    out << "Press RETURN to continue" << std::flush;
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    return opened && !report.fail() ? kExitSuccess : kExitReportFailed;
}

}  // namespace unionbound
