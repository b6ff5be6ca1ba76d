#include "moments/binomial_moments.hpp"

#include <algorithm>
#include <map>
#include <utility>

#include "moments/moment_index.hpp"
#include "moments/subsets.hpp"

namespace unionbound {

namespace {

// Where the sums of one pass go: the position in the moment vector of every
// univariate index, and of every bivariate group by its unordered pair.
struct MomentTargets {
    // univariate[c][k]: position of ((c),(k)), or -1.
    std::vector<IntVector> univariate;
    struct PairGroup {
        std::int32_t first;   // a of the pair row (a, b)
        std::int32_t second;  // b
        std::int32_t base;    // position of ((a,b),(1,1))
    };
    std::map<std::pair<std::int32_t, std::int32_t>, std::vector<PairGroup>> groups;
};

MomentTargets targetsOf(std::int32_t q, std::int32_t m, const IntMatrix& pairs,
                        const IntVector& orders) {
    MomentTargets targets;
    targets.univariate.resize(q + 1);
    std::int32_t position = 1;
    for (std::size_t c = 1; c <= orders.size(); ++c) {
        for (std::int32_t k = 1; k <= orders[c - 1]; ++k, ++position) {
            if (static_cast<std::int32_t>(c) <= q && k <= m) {
                IntVector& row = targets.univariate[c];
                if (static_cast<std::int32_t>(row.size()) <= k) {
                    row.resize(k + 1, -1);
                }
                row[k] = position;
            }
        }
    }
    for (const IntVector& pair : pairs) {
        const std::int32_t a = pair[0];
        const std::int32_t b = pair[1];
        if (a != b && a >= 1 && a <= q && b >= 1 && b <= q) {
            targets.groups[{std::min(a, b), std::max(a, b)}].push_back({a, b, position});
        }
        position += mixedOrdersPerPair(m);
    }
    return targets;
}

}  // namespace

RealVector binomialMoments(const RealVector& prob, std::int32_t n, std::int32_t l, std::int32_t m,
                           const IntMatrix& pairs, const IntVector& orders) {
    const std::int32_t q = n / l;
    const std::size_t entries = momentIndexList(m, pairs, orders).size();
    RealVector moments(entries, 0.0);
    moments[0] = 1.0;
    const MomentTargets targets = targetsOf(q, m, pairs, orders);

    // Visit every subset once, in the subset order, and add its probability
    // to the moments it belongs to; each sum thus receives its terms in
    // increasing subset order.
    std::size_t p = 0;
    for (SubsetCursor cursor(n, m); cursor.valid() && p < prob.size(); cursor.next(), ++p) {
        const IntVector& subset = cursor.subset();
        const std::int32_t size = static_cast<std::int32_t>(subset.size());
        // The subsequences of the elements are non-decreasing along the
        // subset; a subset counts only when it touches one or two of them.
        std::int32_t low = 0, high = 0, inLow = 0, inHigh = 0;
        bool tooMany = false;
        for (std::int32_t x : subset) {
            const std::int32_t c = std::min((x - 1) / l + 1, q);
            if (low == 0 || c == low) {
                low = c;
                ++inLow;
            } else if (high == 0 || c == high) {
                high = c;
                ++inHigh;
            } else {
                tooMany = true;
                break;
            }
        }
        if (tooMany) {
            continue;
        }
        if (high == 0) {
            const IntVector& row = targets.univariate[low];
            if (size < static_cast<std::int32_t>(row.size()) && row[size] >= 0) {
                moments[row[size]] = moments[row[size]] + prob[p];
            }
            continue;
        }
        const auto found = targets.groups.find({low, high});
        if (found == targets.groups.end()) {
            continue;
        }
        for (const MomentTargets::PairGroup& group : found->second) {
            const std::int32_t d = group.first == low ? inLow : inHigh;
            const std::int32_t e = size - d;
            const std::size_t position = group.base + mixedOrderOffset(m, d, e);
            moments[position] = moments[position] + prob[p];
        }
    }
    return moments;
}

}  // namespace unionbound
