#include "sharpest/outcome_lattice.hpp"

#include <algorithm>
#include <bit>

#include "moments/subsets.hpp"

namespace unionbound {

OutcomeRows::OutcomeRows(std::int32_t n, std::int32_t m) : n_(n), m_(std::min(m, n)) {
    choose_.assign(static_cast<std::size_t>(n_) + 2,
                   std::vector<std::int64_t>(static_cast<std::size_t>(m_) + 2, 0));
    for (std::size_t a = 0; a < choose_.size(); ++a) {
        choose_[a][0] = 1;
        for (std::size_t b = 1; b < choose_[a].size() && b <= a; ++b) {
            choose_[a][b] = choose_[a - 1][b - 1] + (b < a ? choose_[a - 1][b] : 0);
        }
    }
    sizeOffset_.assign(static_cast<std::size_t>(m_) + 1, 1);
    for (std::int32_t k = 2; k <= m_; ++k) {
        sizeOffset_[static_cast<std::size_t>(k)] =
            sizeOffset_[static_cast<std::size_t>(k - 1)] +
            choose_[static_cast<std::size_t>(n_)][static_cast<std::size_t>(k - 1)];
    }
    masks_.push_back(0);
    for (SubsetCursor cursor(n_, m_); cursor.valid(); cursor.next()) {
        OutcomeMask mask = 0;
        for (std::int32_t event : cursor.subset()) {
            mask |= OutcomeMask{1} << (event - 1);
        }
        masks_.push_back(mask);
    }
}

std::int32_t OutcomeRows::rowOf(OutcomeMask subset) const {
    const int k = std::popcount(subset);
    if (k == 0) {
        return 0;
    }
    // Lexicographic rank among the k-subsets: for the j-th element s_j, the
    // subsets that agree before it and go on with a smaller element number
    // Σ_{t = s_{j-1}+1}^{s_j - 1} C(n − t, k − j) = C(n − s_{j−1}, k−j+1) − C(n − s_j + 1, k−j+1).
    std::int64_t rank = 0;
    std::int32_t previous = 0;
    int j = 0;
    for (OutcomeMask rest = subset; rest != 0; rest &= rest - 1) {
        ++j;
        const std::int32_t element = std::countr_zero(rest) + 1;
        const auto r = static_cast<std::size_t>(k - j + 1);
        rank += choose_[static_cast<std::size_t>(n_ - previous)][r] -
                choose_[static_cast<std::size_t>(n_ - element + 1)][r];
        previous = element;
    }
    return static_cast<std::int32_t>(sizeOffset_[static_cast<std::size_t>(k)] + rank);
}

void OutcomeRows::rowsOfOutcome(OutcomeMask outcome, std::vector<std::int32_t>& rows) const {
    rows.clear();
    rows.push_back(0);
    // Every subset of ω with at most m elements, grown one element at a time
    // from the lowest event up.
    std::vector<OutcomeMask> frontier{0};
    std::vector<OutcomeMask> grown;
    for (std::int32_t size = 1; size <= m_; ++size) {
        grown.clear();
        for (OutcomeMask s : frontier) {
            const OutcomeMask above =
                s == 0 ? outcome : outcome & ~((OutcomeMask{2} << (31 - std::countl_zero(s))) - 1);
            for (OutcomeMask rest = above; rest != 0; rest &= rest - 1) {
                grown.push_back(s | (rest & (~rest + 1)));
            }
        }
        if (grown.empty()) {
            break;
        }
        for (OutcomeMask s : grown) {
            rows.push_back(rowOf(s));
        }
        frontier.swap(grown);
    }
    std::sort(rows.begin(), rows.end());
}

void placeOnLattice(const OutcomeRows& rows, std::span<const double> rowValues,
                    std::vector<double>& values) {
    values.assign(static_cast<std::size_t>(rows.outcomeCount()), 0.0);
    for (std::int32_t row = 0; row < rows.rowCount(); ++row) {
        values[rows.maskOfRow(row)] = rowValues[static_cast<std::size_t>(row)];
    }
}

void markOutcomesOfZeroIntersections(const OutcomeRows& rows, std::span<const double> prob,
                                     std::vector<std::uint8_t>& marks) {
    marks.assign(static_cast<std::size_t>(rows.outcomeCount()), 0);
    for (std::int32_t row = 1; row < rows.rowCount(); ++row) {
        if (prob[static_cast<std::size_t>(row - 1)] == 0.0) {
            marks[rows.maskOfRow(row)] = 1;
        }
    }
    // An outcome is marked when one of its subsets is: the zeta transform
    // with "or" in place of the sum.
    for (std::int32_t i = 0; i < rows.events(); ++i) {
        const std::size_t bit = std::size_t{1} << i;
        for (std::size_t w = 0; w < marks.size(); w += 2 * bit) {
            for (std::size_t k = w; k < w + bit; ++k) {
                marks[k + bit] |= marks[k];
            }
        }
    }
}

namespace {

// Events below this are transformed block by block, each block of 2^12
// doubles (32 KiB) staying in the cache; the others two at a time, in one
// sweep over the array for each pair.
constexpr int kBlockEvents = 12;

// The sums over subsets (`Direction::subsets`: f[ω] gathers f[ω \ {i}] for
// every event i in turn) or over supersets (f[ω] gathers f[ω ∪ {i}]).
enum class Direction { subsets, supersets };

// One event's step on the pair (low, high) = (f[ω], f[ω ∪ {i}]), i ∉ ω.
template <Direction direction, class Value, class Add>
inline void step(Value& low, Value& high, Add add) {
    if constexpr (direction == Direction::subsets) {
        high = add(high, low);
    } else {
        low = add(low, high);
    }
}

template <Direction direction, class Value, class Add>
void transformWith(std::span<Value> values, Add add) {
    const std::size_t size = values.size();
    const int n = std::countr_zero(size);
    Value* f = values.data();
    const int low = std::min(n, kBlockEvents);
    const std::size_t block = std::size_t{1} << low;
    for (std::size_t base = 0; base < size; base += block) {
        for (int i = 0; i < low; ++i) {
            const std::size_t bit = std::size_t{1} << i;
            for (std::size_t w = base; w < base + block; w += 2 * bit) {
                for (std::size_t k = w; k < w + bit; ++k) {
                    step<direction>(f[k], f[k + bit], add);
                }
            }
        }
    }
    int i = low;
    // Two events per sweep, in the same order of additions as one at a time.
    for (; i + 1 < n; i += 2) {
        const std::size_t bit = std::size_t{1} << i;
        for (std::size_t w = 0; w < size; w += 4 * bit) {
            for (std::size_t k = w; k < w + bit; ++k) {
                Value a = f[k];
                Value b = f[k + bit];
                Value c = f[k + 2 * bit];
                Value d = f[k + 3 * bit];
                step<direction>(a, b, add);
                step<direction>(c, d, add);
                step<direction>(a, c, add);
                step<direction>(b, d, add);
                f[k] = a;
                f[k + bit] = b;
                f[k + 2 * bit] = c;
                f[k + 3 * bit] = d;
            }
        }
    }
    if (i < n) {
        const std::size_t bit = std::size_t{1} << i;
        for (std::size_t k = 0; k < bit; ++k) {
            step<direction>(f[k], f[k + bit], add);
        }
    }
}

constexpr auto kNearest = [](double a, double b) { return a + b; };

}  // namespace

void zetaTransform(std::span<double> values) {
    transformWith<Direction::subsets>(values, kNearest);
}

void zetaTransform(std::span<std::int64_t> values) {
    transformWith<Direction::subsets>(values,
                                      [](std::int64_t a, std::int64_t b) { return a + b; });
}

void supersetTransform(std::span<double> values) {
    transformWith<Direction::supersets>(values, kNearest);
}

}  // namespace unionbound
