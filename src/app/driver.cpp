#include "app/driver.hpp"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <fstream>
#include <limits>

#include "app/basis_subscripts.hpp"
#include "app/prob_reader.hpp"
#include "app/report.hpp"
#include "moments/binomial_moments.hpp"
#include "moments/power_moments.hpp"
#include "moments/subsets.hpp"
#include "numeric/vector_ops.hpp"

namespace unionbound {

namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// The process clock in milliseconds.
std::int64_t processMilliseconds() {
    return static_cast<std::int64_t>(std::clock()) * 1000 / CLOCKS_PER_SEC;
}

// True when every integer coefficient of the conversion matrix for order m,
// S(k,k')·k'! and S(e,e')·S(d,d')·e'!·d'!, fits in a signed 32-bit integer.
bool coefficientsFit(std::int64_t m) {
    if (m > 20) {
        return false;
    }
    std::vector<std::vector<std::int64_t>> S(m + 1, std::vector<std::int64_t>(m + 1, 0));
    std::vector<std::int64_t> fact(m + 1, 1);
    for (std::int64_t a = 0; a <= m; ++a) {
        fact[a] = a == 0 ? 1 : fact[a - 1] * a;
        for (std::int64_t b = 0; b <= a; ++b) {
            S[a][b] = a == b ? 1 : b == 0 ? 0 : S[a - 1][b - 1] + b * S[a - 1][b];
        }
    }
    for (std::int64_t k = 1; k <= m; ++k) {
        for (std::int64_t kk = 1; kk <= k; ++kk) {
            if (S[k][kk] * fact[kk] > kInt32Max) {
                return false;
            }
        }
    }
    for (std::int64_t e = 1; e < m; ++e) {
        for (std::int64_t d = 1; d + e <= m; ++d) {
            for (std::int64_t ee = 1; ee <= e; ++ee) {
                for (std::int64_t dd = 1; dd <= d; ++dd) {
                    if (S[e][ee] * S[d][dd] * fact[ee] * fact[dd] > kInt32Max) {
                        return false;
                    }
                }
            }
        }
    }
    return true;
}

enum class Typed { number, notANumber, endOfInput };

// Reads one white-space separated word and takes it as a whole number.
Typed readWholeNumber(std::istream& in, std::int64_t& value, std::string& word) {
    if (!(in >> word)) {
        return Typed::endOfInput;
    }
    std::string_view digits = word;
    if (digits.size() >= 2 && digits[0] == '+' && digits[1] != '-') {
        digits.remove_prefix(1);
    }
    const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size()) {
        return Typed::notANumber;
    }
    return Typed::number;
}

// Why the typed word cannot be the value of `name`, or empty.
std::string typedProblem(Typed typed, const char* name, const char* meaning,
                         const std::string& word) {
    if (typed == Typed::endOfInput) {
        return std::string("the input ended before ") + name + " (" + meaning + ") was typed";
    }
    if (typed == Typed::notANumber) {
        return std::string(name) + " (" + meaning + ") must be a whole number, not \"" + word +
               "\"";
    }
    return {};
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

std::string checkEvents(std::int64_t n) {
    if (n < 6) {
        return "n=" + std::to_string(n) +
               " is too small: at least 6 events are needed (two subsequences of at least 3 "
               "events each)";
    }
    if (n > kInt32Max) {
        return "n=" + std::to_string(n) + " is too large: at most " + std::to_string(kInt32Max) +
               " events can be counted";
    }
    return {};
}

std::string checkOrder(std::int64_t n, std::int64_t m) {
    const std::string named = "m=" + std::to_string(m);
    if (m < 3) {
        return named + " is too small: the maximum order m must be an odd number of at least 3";
    }
    if (m % 2 == 0) {
        return named +
               " is even: the maximum order m must be an odd number (an even m gives no upper "
               "bound)";
    }
    if (m > n / 2) {
        return named + " is larger than n/2=" + std::to_string(n / 2) +
               ": every subsequence needs at least m events, so no pass could run";
    }
    if (!coefficientsFit(m)) {
        return named + " is too large: its moment coefficients do not fit in 32-bit integers";
    }
    const auto n32 = static_cast<std::int32_t>(n);
    const auto m32 = static_cast<std::int32_t>(m);
    if (intersectionCount(n32, m32) >= kCountTooLarge) {
        return "n=" + std::to_string(n) + ", " + named +
               " need more intersection probabilities than a 32-bit integer can count";
    }
    // The largest pass table is that of l = m: q = n/m subsequences.
    const std::int64_t q = n / m;
    const std::int64_t entries = 1 + q * m + (q - 1) * (m * (m - 1) / 2);
    if (entries > kInt32Max / entries) {
        return "n=" + std::to_string(n) + ", " + named +
               " give a moment table too large for 32-bit indices";
    }
    return {};
}

int runConsole(std::istream& in, std::ostream& out, std::ostream& err,
               const std::string& inputPath, const std::string& reportPath) {
    std::string word;
    std::int64_t n = 0;
    std::int64_t m = 0;
    out << "Number of events. n=" << std::flush;
    const Typed typedN = readWholeNumber(in, n, word);
    std::string problem = typedProblem(typedN, "n", "the number of events", word);
    if (problem.empty()) {
        problem = checkEvents(n);
    }
    if (problem.empty()) {
        out << "Maximum order of the intersections (must be an odd number). m=" << std::flush;
        const Typed typedM = readWholeNumber(in, m, word);
        problem = typedProblem(typedM, "m", "the maximum order of the intersections", word);
        if (problem.empty()) {
            problem = checkOrder(n, m);
        }
    }
    if (!problem.empty()) {
        out << std::flush;
        err << "error: " << problem << std::endl;
        return kExitBadData;
    }

    const auto n32 = static_cast<std::int32_t>(n);
    const auto m32 = static_cast<std::int32_t>(m);
    const ProbabilityInput input = readIntersectionProbabilities(n32, m32, inputPath);
    if (!input.ok()) {
        out << std::flush;
        err << "error: " << input.error << std::endl;
        return kExitBadData;
    }

    std::ofstream report(reportPath, std::ios::out | std::ios::trunc);
    if (!report) {
        err << "warning: cannot write the report \"" << reportPath << "\": "
            << std::strerror(errno) << "; the passes run without it" << std::endl;
    }
    const RunSummary best = runPasses(input.values, n32, m32, report);
    report.close();

    writeConsoleSummary(out, best.bestValue, best.bestTime, best.bestL);
    out << "Press RETURN to continue" << std::flush;
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    return kExitSuccess;
}

}  // namespace unionbound
