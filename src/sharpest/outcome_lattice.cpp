#include "sharpest/outcome_lattice.hpp"

#include <algorithm>
#include <bit>
#include <vector>

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
// values (32 KiB) staying in the cache. The others are transformed up to
// kTileEvents at a time: a tile of the 2^kTileEvents outcomes that differ
// only in those events, kRun neighbours wide (256 KiB of doubles), is
// loaded, stepped event by event and stored, so that each group costs one
// sweep over the array.
constexpr int kBlockEvents = 12;
constexpr int kTileEvents = 10;
constexpr std::size_t kRun = 32;
// Parts a transform is cut into where it may run on several threads.
constexpr std::size_t kParts = 8;

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

// body(begin, end) over [0, count), in parts where `parallel` is given.
template <class Body>
void inParts(std::size_t count, const ParallelFor& parallel, Body&& body) {
    const std::size_t parts = parallel ? std::min(kParts, count) : 1;
    if (parts <= 1) {
        body(std::size_t{0}, count);
        return;
    }
    parallel(parts,
             [&](std::size_t part) { body(count * part / parts, count * (part + 1) / parts); });
}

// Events i … i + levels − 1 (i ≥ kBlockEvents) in one sweep, tile by tile,
// in the same order of additions as one event at a time.
template <Direction direction, class Value, class Add>
void sweep(Value* f, std::size_t size, int i, int levels, Add add, const ParallelFor& parallel) {
    const std::size_t rows = std::size_t{1} << levels;
    const std::size_t bit = std::size_t{1} << i;
    inParts(size / rows / kRun, parallel, [&](std::size_t begin, std::size_t end) {
        std::vector<Value> tile(rows * kRun);
        for (std::size_t t = begin; t < end; ++t) {
            const std::size_t first = t * kRun;
            Value* const k = f + ((first >> i) << (i + levels)) + (first & (bit - 1));
            for (std::size_t r = 0; r < rows; ++r) {
                std::copy_n(k + r * bit, kRun, tile.data() + r * kRun);
            }
            for (int j = 0; j < levels; ++j) {
                const std::size_t jb = std::size_t{1} << j;
                for (std::size_t r = 0; r < rows; ++r) {
                    if ((r & jb) == 0) {
                        Value* const low = tile.data() + r * kRun;
                        Value* const high = tile.data() + (r | jb) * kRun;
                        for (std::size_t l = 0; l < kRun; ++l) {
                            step<direction>(low[l], high[l], add);
                        }
                    }
                }
            }
            for (std::size_t r = 0; r < rows; ++r) {
                std::copy_n(tile.data() + r * kRun, kRun, k + r * bit);
            }
        }
    });
}

template <Direction direction, class Value, class Add>
void transformWith(std::span<Value> values, Add add, const ParallelFor& parallel) {
    const std::size_t size = values.size();
    const int n = std::countr_zero(size);
    Value* f = values.data();
    const int low = std::min(n, kBlockEvents);
    const std::size_t block = std::size_t{1} << low;
    inParts(size / block, parallel, [&](std::size_t begin, std::size_t end) {
        for (std::size_t base = begin * block; base < end * block; base += block) {
            for (int i = 0; i < low; ++i) {
                const std::size_t bit = std::size_t{1} << i;
                for (std::size_t w = base; w < base + block; w += 2 * bit) {
                    for (std::size_t k = w; k < w + bit; ++k) {
                        step<direction>(f[k], f[k + bit], add);
                    }
                }
            }
        }
    });
    for (int i = low; i < n; i += kTileEvents) {
        sweep<direction>(f, size, i, std::min(kTileEvents, n - i), add, parallel);
    }
}

constexpr auto kNearest = [](double a, double b) { return a + b; };
constexpr auto kWhole = [](std::int64_t a, std::int64_t b) { return a + b; };

}  // namespace

void zetaTransform(std::span<double> values, const ParallelFor& parallel) {
    transformWith<Direction::subsets>(values, kNearest, parallel);
}

void zetaTransform(std::span<std::int64_t> values, const ParallelFor& parallel) {
    transformWith<Direction::subsets>(values, kWhole, parallel);
}

void supersetTransform(std::span<double> values, const ParallelFor& parallel) {
    transformWith<Direction::supersets>(values, kNearest, parallel);
}

}  // namespace unionbound
