#include "moments/moment_sweep.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "moments/moment_index.hpp"
#include "moments/subsets.hpp"

namespace unionbound {

bool isChainDivision(std::int32_t n, std::int32_t m, const PassDivision& pass) {
    if (pass.l < 1 || pass.l > n) {
        return false;
    }
    const std::int32_t q = n / pass.l;
    if (pass.orders.size() != static_cast<std::size_t>(q) ||
        pass.pairs.size() != static_cast<std::size_t>(q - 1)) {
        return false;
    }
    for (std::int32_t order : pass.orders) {
        if (order != m) {
            return false;
        }
    }
    for (std::int32_t b = 2; b <= q; ++b) {
        const IntVector& pair = pass.pairs[b - 2];
        if (pair.size() != 2 || pair[0] != 1 || pair[1] != b) {
            return false;
        }
    }
    return true;
}

namespace {

// The blocks of one pass as the row walk reads them.
struct RowLayout {
    std::int32_t q = 0;
    IntVector block;     // block[x]: the subsequence of event x, from 0
    IntVector blockEnd;  // the last event of each subsequence
    double* moments = nullptr;
    std::int32_t pairBase = 0;  // the entry of the first pair moment
};

// Runs of terms of one row, each to be added to its own sum (no sum has two
// runs in a row). Short runs are added at once, one after the other; the
// others four side by side, each sum in its own order.
class RowRuns {
  public:
    void add(double* sum, const double* first, const double* last) {
        const std::int64_t length = last - first;
        if (length <= 0) {
            return;
        }
        if (length < kShort) {
            double a = *sum;
            for (const double* p = first; p < last; ++p) {
                a = a + *p;
            }
            *sum = a;
            return;
        }
        runs_.push_back({sum, first, length});
    }

    // Adds the long runs that were gathered, and forgets them.
    void flush() {
        std::size_t next = 0;
        Lane lanes[4];
        int live = 0;
        while (live < 4 && next < runs_.size()) {
            lanes[live++] = load(runs_[next++]);
        }
        while (live == 4) {
            std::int64_t r = std::min(std::min(lanes[0].left, lanes[1].left),
                                      std::min(lanes[2].left, lanes[3].left));
            double a0 = lanes[0].acc, a1 = lanes[1].acc, a2 = lanes[2].acc, a3 = lanes[3].acc;
            const double* p0 = lanes[0].at;
            const double* p1 = lanes[1].at;
            const double* p2 = lanes[2].at;
            const double* p3 = lanes[3].at;
            for (std::int64_t i = 0; i < r; ++i) {
                a0 = a0 + p0[i];
                a1 = a1 + p1[i];
                a2 = a2 + p2[i];
                a3 = a3 + p3[i];
            }
            lanes[0].acc = a0, lanes[1].acc = a1, lanes[2].acc = a2, lanes[3].acc = a3;
            for (int k = 0; k < live;) {
                Lane& lane = lanes[k];
                lane.at += r;
                lane.left -= r;
                if (lane.left > 0) {
                    ++k;
                    continue;
                }
                *lane.sum = lane.acc;
                if (next < runs_.size()) {
                    lane = load(runs_[next++]);
                    ++k;
                } else {
                    // The last live lane, not yet moved on, takes this place.
                    lane = lanes[live - 1];
                    --live;
                }
            }
        }
        for (int k = 0; k < live; ++k) {
            double a = lanes[k].acc;
            for (std::int64_t i = 0; i < lanes[k].left; ++i) {
                a = a + lanes[k].at[i];
            }
            *lanes[k].sum = a;
        }
        runs_.clear();
    }

  private:
    static constexpr std::int64_t kShort = 8;
    struct Run {
        double* sum;
        const double* first;
        std::int64_t length;
    };
    struct Lane {
        double* sum;
        const double* at;
        std::int64_t left;
        double acc;
    };
    static Lane load(const Run& run) { return {run.sum, run.first, run.length, *run.sum}; }

    std::vector<Run> runs_;
};

// The moments of passes that are all chain divisions, in one walk through the probabilities from the first to the last. For every
// subset size s the subsets come in rows: all that share their first s - 1
// events (the prefix), the last event running over the rest, at consecutive
// positions. Where a row meets a pass is fixed by the subsequences of the
// prefix: all in the first one, the row's events of each subsequence go to
// the moment of the first alone (k = s) or of the pair with it (s - 1, 1);
// all in a later one, the row's events in that subsequence go to its moment
// of order s; the first d in the first subsequence and the others in a later
// one, the row's events in that one go to the pair's moment (d, s - d); any
// other prefix is in no moment. Every moment thus gets its terms in
// increasing position, each added once, and every row is used while it is
// in the cache.
void walkRows(const double* prob, std::int32_t n, std::int32_t m,
              const std::vector<PassDivision>& passes, std::vector<PassMoments>& result) {
    std::vector<RowLayout> layouts(passes.size());
    for (std::size_t i = 0; i < passes.size(); ++i) {
        RowLayout& layout = layouts[i];
        const std::int32_t l = passes[i].l;
        layout.q = n / l;
        layout.block.assign(static_cast<std::size_t>(n) + 1, 0);
        for (std::int32_t x = 1; x <= n; ++x) {
            layout.block[x] = std::min((x - 1) / l, layout.q - 1);
        }
        layout.blockEnd.resize(layout.q);
        for (std::int32_t c = 0; c < layout.q; ++c) {
            layout.blockEnd[c] = c == layout.q - 1 ? n : (c + 1) * l;
        }
        layout.moments = result[i].moments.data();
        layout.pairBase = 1 + layout.q * m;
    }
    const std::int32_t perPair = mixedOrdersPerPair(m);
    // pairOffset[d][e] for d, e ≥ 1, d + e ≤ m.
    std::vector<IntVector> pairOffset(static_cast<std::size_t>(m) + 1,
                                      IntVector(static_cast<std::size_t>(m) + 1, 0));
    for (std::int32_t e = 1; e <= m - 1; ++e) {
        for (std::int32_t d = 1; d <= m - e; ++d) {
            pairOffset[d][e] = mixedOrderOffset(m, d, e);
        }
    }

    RowRuns runs;
    // Size 1: one row, every event.
    for (RowLayout& layout : layouts) {
        std::int32_t from = 1;
        for (std::int32_t c = 0; c < layout.q; ++c) {
            runs.add(&layout.moments[1 + c * m], prob + (from - 1), prob + layout.blockEnd[c]);
            from = layout.blockEnd[c] + 1;
        }
    }
    runs.flush();
    std::int64_t position = n;
    IntVector prefix;
    for (std::int32_t s = 2; s <= std::min(m, n); ++s) {
        const std::int32_t r = s - 1;
        prefix.resize(r);
        for (std::int32_t t = 0; t < r; ++t) {
            prefix[t] = t + 1;
        }
        for (;;) {
            const std::int32_t last = prefix[r - 1];
            const double* row = prob + position - (last + 1);  // row[z]: the subset ending in z
            for (RowLayout& layout : layouts) {
                const std::int32_t* block = layout.block.data();
                const std::int32_t* end = layout.blockEnd.data();
                const std::int32_t first = block[prefix[0]];
                const std::int32_t lastBlock = block[last];
                if (first == lastBlock) {
                    runs.add(&layout.moments[1 + first * m + (s - 1)], row + last + 1,
                             row + end[first] + 1);
                    if (first == 0) {
                        double* pair = layout.moments + layout.pairBase + pairOffset[r][1];
                        for (std::int32_t b = 1; b < layout.q; ++b, pair += perPair) {
                            runs.add(pair, row + end[b - 1] + 1, row + end[b] + 1);
                        }
                    }
                } else if (first == 0) {
                    std::int32_t d = 1;
                    while (block[prefix[d]] == 0) {
                        ++d;
                    }
                    if (block[prefix[d]] == lastBlock) {
                        runs.add(&layout.moments[layout.pairBase + (lastBlock - 1) * perPair +
                                                 pairOffset[d][s - d]],
                                 row + last + 1, row + end[lastBlock] + 1);
                    }
                }
            }
            runs.flush();
            position += n - last;
            // The next prefix in lexicographic order.
            std::int32_t t = r - 1;
            while (t >= 0 && prefix[t] == n - (r - 1 - t)) {
                --t;
            }
            if (t < 0) {
                break;
            }
            ++prefix[t];
            for (std::int32_t u = t + 1; u < r; ++u) {
                prefix[u] = prefix[u - 1] + 1;
            }
        }
    }
}

}  // namespace

std::vector<PassMoments> binomialMomentsOfPasses(const RealVector& prob, std::int32_t n,
                                                 std::int32_t m,
                                                 const std::vector<PassDivision>& passes) {
    if (n < 1 || m < 1) {
        throw std::invalid_argument("binomialMomentsOfPasses: n=" + std::to_string(n) +
                                    ", m=" + std::to_string(m) + " hold no intersection");
    }
    if (static_cast<std::int64_t>(prob.size()) != intersectionCount(n, m)) {
        throw std::invalid_argument("binomialMomentsOfPasses: " + std::to_string(prob.size()) +
                                    " probabilities for n=" + std::to_string(n) +
                                    ", m=" + std::to_string(m) + ", which need " +
                                    std::to_string(intersectionCount(n, m)));
    }
    std::vector<PassMoments> result(passes.size());
    for (std::size_t i = 0; i < passes.size(); ++i) {
        const PassDivision& pass = passes[i];
        if (!isChainDivision(n, m, pass)) {
            throw std::invalid_argument("binomialMomentsOfPasses: the division of l=" +
                                        std::to_string(pass.l) +
                                        " is not n/l subsequences of order m with the first "
                                        "paired with every other");
        }
        // Each moment adds one term per subset of its shape: C(len, k) for
        // order k in a subsequence of len events, C(len_1, d)·C(len_b, e)
        // for the pair (1, b).
        const std::int32_t q = n / pass.l;
        const auto length = [&](std::int32_t c) { return c == q ? n - (q - 1) * pass.l : pass.l; };
        std::int64_t terms = 0;
        for (std::int32_t c = 1; c <= q; ++c) {
            for (std::int32_t k = 1; k <= m; ++k) {
                terms += subsetCount(length(c), k);
            }
        }
        for (std::int32_t b = 2; b <= q; ++b) {
            for (std::int32_t e = 1; e <= m - 1; ++e) {
                for (std::int32_t d = 1; d <= m - e; ++d) {
                    terms += subsetCount(length(1), d) * subsetCount(length(b), e);
                }
            }
        }
        result[i].terms = terms;
        result[i].moments.assign(
            static_cast<std::size_t>(1 + q * m + (q - 1) * mixedOrdersPerPair(m)), 0.0);
        result[i].moments[0] = 1.0;
    }
    walkRows(prob.data(), n, m, passes, result);
    return result;
}

}  // namespace unionbound
