#include "classical/classical_bounds.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "moments/binomial_sums.hpp"
#include "moments/subsets.hpp"

namespace unionbound {

namespace {

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

// Coefficients of a polynomial in the basis C(x, 0), C(x, 1), …
using BinomialPolynomial = std::vector<DoubleDouble>;

// poly · (r - x), using x·C(x, j) = (j+1)·C(x, j+1) + j·C(x, j):
// (r - x)·C(x, j) = (r - j)·C(x, j) - (j+1)·C(x, j+1).
BinomialPolynomial timesRootFactor(const BinomialPolynomial& poly, std::int32_t r) {
    BinomialPolynomial product(poly.size() + 1, DoubleDouble());
    for (std::size_t j = 0; j < poly.size(); ++j) {
        product[j] += poly[j] * DoubleDouble(static_cast<double>(r) - static_cast<double>(j));
        product[j + 1] -= poly[j] * DoubleDouble(static_cast<double>(j + 1));
    }
    return product;
}

// Which end of the moment problem a basis search bounds.
enum class Side { upper, lower };

// Walks every choice of `pairsLeft` more disjoint neighbour pairs (i, i+1)
// with first ≤ i and i + 1 ≤ last, keeping the smallest value (for an upper
// bound) or the largest (for a lower bound).
class SharpBasisSearch {
  public:
    SharpBasisSearch(const std::vector<DoubleDouble>& sums, std::int32_t last, Side side)
        : sums_(sums), last_(last), side_(side) {}

    void search(const BinomialPolynomial& poly, DoubleDouble rootProduct, std::int32_t first,
                std::int32_t pairsLeft, IntVector& basis) {
        if (pairsLeft == 0) {
            consider(poly, rootProduct, basis);
            return;
        }
        // The pairs still to place need 2·pairsLeft points from first on.
        for (std::int32_t i = first; i + 2 * pairsLeft - 1 <= last_; ++i) {
            const BinomialPolynomial next = timesRootFactor(timesRootFactor(poly, i), i + 1);
            const DoubleDouble product = rootProduct * DoubleDouble(static_cast<double>(i)) *
                                         DoubleDouble(static_cast<double>(i) + 1.0);
            basis.push_back(i);
            basis.push_back(i + 1);
            search(next, product, i + 2, pairsLeft - 1, basis);
            basis.pop_back();
            basis.pop_back();
        }
    }

    bool found() const { return found_; }
    DoubleDouble best() const { return best_; }
    const IntVector& bestBasis() const { return bestBasis_; }

  private:
    // E[p(X)] = 1 - Σ_j a_j S_j / Π r for the basis in hand.
    void consider(const BinomialPolynomial& poly, DoubleDouble rootProduct,
                  const IntVector& basis) {
        DoubleDouble expectation;
        for (std::size_t j = 0; j < poly.size(); ++j) {
            expectation += poly[j] * sums_[j];
        }
        const DoubleDouble value = DoubleDouble(1.0) - expectation / rootProduct;
        const bool better = side_ == Side::upper ? value < best_ : best_ < value;
        if (!found_ || better) {
            found_ = true;
            best_ = value;
            bestBasis_ = basis;
        }
    }

    const std::vector<DoubleDouble>& sums_;
    std::int32_t last_;
    Side side_;
    bool found_ = false;
    DoubleDouble best_;
    IntVector bestBasis_;
};

// The best basis value of one side. The basis is {0} ∪ R with m roots R;
// the polynomial 1 - Π_{r in R} (1 - x/r) bounds 1{x ≥ 1} from above at
// every x = 1 … n when Π (r - x) ≤ 0 there, from below when it is ≥ 0.
// The sign changes at every root, so a root after which the sign would be
// wrong must be followed at once by the next integer: the roots are
// neighbour pairs, led by the root 1 for an upper bound, and closed by the
// root n when the count of roots left over is odd.
SharpBound sharpBoundOfSide(const std::vector<DoubleDouble>& sums, std::int32_t n, Side side) {
    const auto m = static_cast<std::int32_t>(sums.size()) - 1;
    SharpBound bound;
    bound.value = side == Side::upper ? 1.0 : 0.0;
    if (m < 1 || n < 1) {
        return bound;
    }
    BinomialPolynomial start{DoubleDouble(1.0)};
    DoubleDouble rootProduct(1.0);
    IntVector basis{0};
    std::int32_t first = 1;
    std::int32_t last = n;
    std::int32_t pairs = m;
    if (side == Side::upper) {
        // The factor (1 - x) of the point 1: (1 - x)·C(x, 0) = C(x, 0) - C(x, 1).
        start = timesRootFactor(start, 1);
        basis.push_back(1);
        first = 2;
        --pairs;
    }
    const bool closedByN = pairs % 2 == 1;
    if (closedByN) {
        --last;
        --pairs;
    }
    if (closedByN && (n < first || (side == Side::upper && n == 1))) {
        return bound;  // no room for the closing root n
    }
    SharpBasisSearch search(sums, last, side);
    if (closedByN) {
        // The closing root joins after the pairs, which come first in the basis.
        IntVector pairsBasis;
        const BinomialPolynomial withN = timesRootFactor(start, n);
        const DoubleDouble product = rootProduct * DoubleDouble(static_cast<double>(n));
        search.search(withN, product, first, pairs / 2, pairsBasis);
    } else {
        IntVector pairsBasis;
        search.search(start, rootProduct, first, pairs / 2, pairsBasis);
    }
    if (search.found()) {
        const double value = search.best().toDouble();
        bound.value = side == Side::upper ? std::min(1.0, value) : std::max(0.0, value);
        bound.basis = basis;
        bound.basis.insert(bound.basis.end(), search.bestBasis().begin(),
                           search.bestBasis().end());
        if (closedByN) {
            bound.basis.push_back(n);
        }
    }
    return bound;
}

}  // namespace

std::vector<DoubleDouble> binomialSums(const RealVector& prob, std::int32_t n, std::int32_t m) {
    BinomialSumsAccumulator sums(n, m);
    sums.take(prob);
    return sums.sums();
}

double booleBound(const std::vector<DoubleDouble>& sums) {
    return sums.size() < 2 ? kNotANumber : std::min(1.0, sums[1].toDouble());
}

double bonferroniBound(const std::vector<DoubleDouble>& sums) {
    if (sums.size() < 4) {
        return kNotANumber;
    }
    return (sums[1] - sums[2] + sums[3]).toDouble();
}

double hunterBound(const RealVector& prob, std::int32_t n, std::int32_t m) {
    if (m < 2 || n < 1 || static_cast<std::int64_t>(prob.size()) < intersectionCount(n, 2)) {
        return kNotANumber;
    }
    DoubleDouble s1;
    for (std::int32_t a = 0; a < n; ++a) {
        s1 += DoubleDouble(prob[a]);
    }
    // rowStart[a]: the position of P(a ∩ (a+1)); P(a ∩ b) follows at b - a - 1.
    std::vector<std::int64_t> rowStart(n + 1, 0);
    for (std::int32_t a = 1; a < n; ++a) {
        rowStart[a] = subsetPosition(n, m, {a, a + 1});
    }
    const auto weight = [&](std::int32_t a, std::int32_t b) {
        if (a > b) {
            std::swap(a, b);
        }
        return prob[static_cast<std::size_t>(rowStart[a] + (b - a - 1))];
    };
    // Prim's algorithm from event 1; ties go to the smallest event number.
    std::vector<bool> inTree(n + 1, false);
    std::vector<double> link(n + 1, -1.0);
    DoubleDouble treeWeight;
    inTree[1] = true;
    for (std::int32_t v = 2; v <= n; ++v) {
        link[v] = weight(1, v);
    }
    for (std::int32_t added = 1; added < n; ++added) {
        std::int32_t next = 0;
        for (std::int32_t v = 2; v <= n; ++v) {
            if (!inTree[v] && (next == 0 || link[v] > link[next])) {
                next = v;
            }
        }
        inTree[next] = true;
        treeWeight += DoubleDouble(link[next]);
        for (std::int32_t v = 2; v <= n; ++v) {
            if (!inTree[v]) {
                link[v] = std::max(link[v], weight(next, v));
            }
        }
    }
    return (s1 - treeWeight).toDouble();
}

SharpBound sharpBound(const std::vector<DoubleDouble>& sums, std::int32_t n) {
    return sharpBoundOfSide(sums, n, Side::upper);
}

SharpBound sharpLowerBound(const std::vector<DoubleDouble>& sums, std::int32_t n) {
    return sharpBoundOfSide(sums, n, Side::lower);
}

double dawsonSankoffBound(const std::vector<DoubleDouble>& sums) {
    if (sums.size() < 3) {
        return kNotANumber;
    }
    const double s1 = sums[1].toDouble();
    if (!(s1 > 0.0)) {
        return 0.0;
    }
    // k = 1 + ⌊2 S2 / S1⌋, the best of the family 2 S1/(k+1) - 2 S2/(k(k+1)).
    const double k = 1.0 + std::floor((DoubleDouble(2.0) * sums[2] / sums[1]).toDouble());
    const DoubleDouble value = DoubleDouble(2.0) * sums[1] / DoubleDouble(k + 1.0) -
                               DoubleDouble(2.0) * sums[2] / (DoubleDouble(k) * DoubleDouble(k + 1.0));
    return std::max(0.0, value.toDouble());
}

ClassicalBounds classicalBounds(const RealVector& prob, std::int32_t n, std::int32_t m) {
    return classicalBounds(binomialSums(prob, n, m), prob, n, m);
}

ClassicalBounds classicalBounds(const std::vector<DoubleDouble>& sums,
                                const RealVector& singlesAndPairs, std::int32_t n, std::int32_t m) {
    return {booleBound(sums),    bonferroniBound(sums),    hunterBound(singlesAndPairs, n, m),
            sharpBound(sums, n), dawsonSankoffBound(sums), sharpLowerBound(sums, n)};
}

namespace {

std::optional<double> unlessNaN(double value) {
    return std::isnan(value) ? std::nullopt : std::optional<double>(value);
}

}  // namespace

NamedClassicalBounds namedClassicalBounds(std::int32_t m, const ClassicalBounds& bounds) {
    const std::string alone = "best from S1 ... S" + std::to_string(m) + " alone";
    return {
        {
            {"Boole", "min(1, S1)", unlessNaN(bounds.boole)},
            {"Bonferroni", "S1 - S2 + S3", unlessNaN(bounds.bonferroni)},
            {"Hunter", "S1 - heaviest spanning tree", unlessNaN(bounds.hunter)},
            {"sharp", alone, unlessNaN(bounds.sharp.value)},
        },
        {
            {"Dawson-Sankoff", "2 S1/(k+1) - 2 S2/(k(k+1))", unlessNaN(bounds.dawsonSankoff)},
            {"sharp", alone, unlessNaN(bounds.sharpLower.value)},
        },
    };
}

}  // namespace unionbound
