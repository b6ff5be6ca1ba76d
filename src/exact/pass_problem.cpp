#include "exact/pass_problem.hpp"

#include <cmath>

#include "moments/moment_errors.hpp"
#include "moments/moment_index.hpp"
#include "moments/pass_division.hpp"

namespace unionbound {

std::size_t PassLayout::single(std::int32_t c, std::int32_t k) const {
    return static_cast<std::size_t>(1 + (c - 1) * m + (k - 1));
}

std::size_t PassLayout::pair(std::int32_t c, std::int32_t d, std::int32_t e) const {
    return static_cast<std::size_t>(1 + q * m + (c - 2) * mixedOrdersPerPair(m) +
                                    mixedOrderOffset(m, d, e));
}

std::size_t PassLayout::size() const {
    return static_cast<std::size_t>(1 + q * m + (q - 1) * mixedOrdersPerPair(m));
}

std::string PassLayout::name(std::size_t i) const {
    if (i == 0) {
        return "the total probability 1";
    }
    const auto position = static_cast<std::int32_t>(i) - 1;
    if (position < q * m) {
        return "E[C(X_" + std::to_string(position / m + 1) + "," +
               std::to_string(position % m + 1) + ")]";
    }
    const std::int32_t perPair = mixedOrdersPerPair(m);
    const std::int32_t c = (position - q * m) / perPair + 2;
    std::int32_t offset = (position - q * m) % perPair;
    std::int32_t e = 1;
    while (offset >= m - e) {
        offset -= m - e;
        ++e;
    }
    return "E[C(X_1," + std::to_string(offset + 1) + ")·C(X_" + std::to_string(c) + "," +
           std::to_string(e) + ")]";
}

PassLayout passLayout(const PassProblem& problem) {
    return {problem.m, static_cast<std::int32_t>(problem.lengths.size())};
}

namespace {

IntMatrix driverPairs(std::int32_t q) {
    IntMatrix pairs;
    for (std::int32_t c = 2; c <= q; ++c) {
        pairs.push_back({1, c});
    }
    return pairs;
}

}  // namespace

IntMatrixList passMomentIndex(std::int32_t m, std::int32_t q) {
    return momentIndexList(m, driverPairs(q), IntVector(static_cast<std::size_t>(q), m));
}

RealVector passTermCounts(const PassProblem& problem) {
    return momentTermCounts(
        passMomentIndex(problem.m, static_cast<std::int32_t>(problem.lengths.size())),
        problem.lengths);
}

PassProblem makePassProblem(std::int32_t n, std::int32_t l, std::int32_t m, RealVector moments) {
    PassProblem problem{m, subsequenceLengths(n, l), std::move(moments), {}};
    const auto q = static_cast<std::int32_t>(problem.lengths.size());
    problem.errors = momentErrors(passMomentIndex(m, q), problem.lengths, problem.moments);
    return problem;
}

Expected<void> checkPassProblem(const PassProblem& problem) {
    if (problem.m < 1) {
        return refuse("the order m is " + std::to_string(problem.m) + ", not at least 1");
    }
    if (problem.lengths.empty()) {
        return refuse("the pass has no subsequences");
    }
    for (std::size_t c = 0; c < problem.lengths.size(); ++c) {
        if (problem.lengths[c] < 1) {
            return refuse("subsequence " + std::to_string(c + 1) + " has length " +
                          std::to_string(problem.lengths[c]) + ", not at least 1");
        }
    }
    const std::size_t expected = passLayout(problem).size();
    if (problem.moments.size() != expected || problem.errors.size() != expected) {
        return refuse("the pass has " + std::to_string(problem.moments.size()) + " moments and " +
                      std::to_string(problem.errors.size()) + " error bounds where " +
                      std::to_string(expected) + " are needed");
    }
    if (problem.moments[0] != 1.0 || problem.errors[0] != 0.0) {
        return refuse("the first moment is not the total probability 1");
    }
    for (std::size_t i = 0; i < expected; ++i) {
        if (!std::isfinite(problem.moments[i]) || !std::isfinite(problem.errors[i]) ||
            !(problem.errors[i] >= 0.0)) {
            return refuse("the moment " + passLayout(problem).name(i) +
                          " or its error bound is not a finite number (the error not negative)");
        }
    }
    return {};
}

}  // namespace unionbound
