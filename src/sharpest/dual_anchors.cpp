#include "sharpest/dual_anchors.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

namespace unionbound {

namespace {

std::vector<double> bonferroniMultipliers(std::span<const std::int32_t> sizes, bool upper) {
    // Σ_{j=1}^{d} (−1)^{j+1} C(k, j) = 1 − (−1)^d C(k − 1, d) for k ≥ 1: at
    // least 1 for odd d, at most 1 for even d, and 0 at k = 0.
    std::int32_t degree = *std::max_element(sizes.begin(), sizes.end());
    if ((degree % 2 == 1) != upper) {
        --degree;
    }
    std::vector<double> y(sizes.size(), 0.0);
    for (std::size_t row = 1; row < sizes.size(); ++row) {
        if (sizes[row] <= degree) {
            y[row] = sizes[row] % 2 == 1 ? 1.0 : -1.0;
        }
    }
    return y;
}

double binomial(std::int32_t n, std::int32_t k) {
    double c = 1.0;
    for (std::int32_t j = 1; j <= k; ++j) {
        c = c * static_cast<double>(n - k + j) / static_cast<double>(j);
    }
    return c;
}

MultiplierProof better(const MultiplierProof& a, const MultiplierProof& b, bool upper) {
    if (!a.valid) {
        return b;
    }
    if (!b.valid) {
        return a;
    }
    return (upper ? b.bound < a.bound : b.bound > a.bound) ? b : a;
}

std::vector<double> sizeMultipliers(std::int32_t n, std::span<const std::int32_t> sizes,
                                    std::span<const double> targets, bool upper,
                                    const lp::SolverFactory& makeSolver) {
    const std::int32_t m = *std::max_element(sizes.begin(), sizes.end());
    // The LP over the distribution of the number K of events that occur:
    // Σ_k P(K = k)·C(k, j) = S_j for j = 0 … m (S_0 = 1).
    lp::Rows lpRows;
    lpRows.lower.assign(static_cast<std::size_t>(m) + 1, 0.0);
    for (std::size_t row = 0; row < sizes.size(); ++row) {
        lpRows.lower[static_cast<std::size_t>(sizes[row])] += targets[row];
    }
    lpRows.upper = lpRows.lower;
    std::vector<lp::Column> columns;
    for (std::int32_t k = 0; k <= n; ++k) {
        lp::Column column;
        column.cost = k == 0 ? 0.0 : (upper ? -1.0 : 1.0);
        for (std::int32_t j = 0; j <= std::min(k, m); ++j) {
            column.rows.push_back(j);
            column.values.push_back(binomial(k, j));
        }
        columns.push_back(std::move(column));
    }
    auto solver = makeSolver ? makeSolver() : lp::makeSolver();
    solver->setRows(lpRows);
    solver->addColumns(columns);
    const lp::Result result = solver->solve();
    if (result.status != lp::Status::optimal ||
        result.rowDuals.size() != static_cast<std::size_t>(m) + 1 ||
        !std::all_of(result.rowDuals.begin(), result.rowDuals.end(),
                     [](double a) { return std::isfinite(a); })) {
        return bonferroniMultipliers(sizes, upper);
    }
    std::vector<double> y(sizes.size());
    for (std::size_t row = 0; row < sizes.size(); ++row) {
        const double a = result.rowDuals[static_cast<std::size_t>(sizes[row])];
        y[row] = upper ? -a : a;
    }
    return y;
}

// Hunter's multipliers: a spanning forest of the pairs of largest
// probability (Kruskal's), y_i = 1, y_ij = −1 on its pairs.
std::vector<double> hunterMultipliers(const OutcomeSpace& space, std::int32_t n) {
    const std::vector<std::int32_t>& sizes = space.rowSizes();
    const std::vector<double>& targets = space.targets();
    std::vector<std::pair<double, std::int32_t>> pairs;
    for (std::size_t row = 1; row < sizes.size(); ++row) {
        if (sizes[row] == 2) {
            pairs.emplace_back(-targets[row], static_cast<std::int32_t>(row));
        }
    }
    std::sort(pairs.begin(), pairs.end());
    std::vector<std::int32_t> root(static_cast<std::size_t>(n));
    for (std::int32_t e = 0; e < n; ++e) {
        root[static_cast<std::size_t>(e)] = e;
    }
    const auto find = [&](std::int32_t e) {
        while (root[static_cast<std::size_t>(e)] != e) {
            e = root[static_cast<std::size_t>(e)] =
                root[static_cast<std::size_t>(root[static_cast<std::size_t>(e)])];
        }
        return e;
    };
    std::vector<double> y(sizes.size(), 0.0);
    for (std::size_t row = 1; row < sizes.size(); ++row) {
        y[row] = sizes[row] == 1 ? 1.0 : 0.0;
    }
    for (const auto& [weight, row] : pairs) {
        const std::vector<std::int32_t> events = space.eventsOfRow(row);
        if (events.size() != 2) {
            continue;  // a pair whose events are not rows (data no distribution has)
        }
        const std::int32_t a = find(events[0]);
        const std::int32_t b = find(events[1]);
        if (a != b) {
            root[static_cast<std::size_t>(a)] = b;
            y[static_cast<std::size_t>(row)] = -1.0;
        }
    }
    return y;
}

}  // namespace

std::vector<std::vector<double>> anchorMultipliers(const OutcomeSpace& space, std::int32_t n,
                                                   bool upper,
                                                   const lp::SolverFactory& makeSolver) {
    std::vector<std::vector<double>> anchors{
        sizeMultipliers(n, space.rowSizes(), space.targets(), upper, makeSolver)};
    const std::vector<std::int32_t>& sizes = space.rowSizes();
    if (upper && std::find(sizes.begin(), sizes.end(), 2) != sizes.end()) {
        anchors.push_back(hunterMultipliers(space, n));
    }
    return anchors;
}

MultiplierProof bestOnSegment(OutcomeSpace& space, std::span<const double> from,
                              std::span<const double> to, bool upper, int proofs) {
    const MultiplierSide side = upper ? MultiplierSide::atLeast : MultiplierSide::atMost;
    std::vector<double> y(to.size());
    const auto proveAt = [&](double t) {
        for (std::size_t i = 0; i < y.size(); ++i) {
            y[i] = t == 1.0 ? to[i] : (1.0 - t) * from[i] + t * to[i];
        }
        return space.prove(y, side, 1.0, 0.0);
    };
    // The bound is convex in t (for the lower side, concave), so golden
    // sections close in on its best point; an invalid proof counts as the worst.
    const auto worse = [upper](const MultiplierProof& a, const MultiplierProof& b) {
        if (!a.valid || !b.valid) {
            return !a.valid && b.valid;
        }
        return upper ? a.bound > b.bound : a.bound < b.bound;
    };
    MultiplierProof best = proveAt(1.0);
    const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
    double low = 0.0;
    double high = 1.0;
    double left = high - ratio * (high - low);
    double right = low + ratio * (high - low);
    MultiplierProof atLeft = proveAt(left);
    MultiplierProof atRight = proveAt(right);
    best = better(better(best, atLeft, upper), atRight, upper);
    for (int k = 3; k < proofs; ++k) {
        if (worse(atLeft, atRight)) {
            low = left;
            left = right;
            atLeft = atRight;
            right = low + ratio * (high - low);
            atRight = proveAt(right);
            best = better(best, atRight, upper);
        } else {
            high = right;
            right = left;
            atRight = atLeft;
            left = high - ratio * (high - low);
            atLeft = proveAt(left);
            best = better(best, atLeft, upper);
        }
    }
    return best;
}

}  // namespace unionbound
