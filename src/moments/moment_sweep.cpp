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
    const std::int32_t q = subsequenceCount(n, pass.l);
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
    IntVector blockEnd;  // the last event of each subsequence
    double* moments = nullptr;
    std::int32_t pairBase = 0;  // the entry of the first pair moment
};

// Runs of terms of one row, each to be added to its own sum (no sum has two
// runs in a row). Short runs are added at once, one after the other; the
// others side by side, eight (or four, or two) sums at a time, each in its
// own order: an addition waits for the one before it in the same sum, so
// the sums side by side keep the adder busy.
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
        next_ = 0;
        live_ = 0;
        while (live_ < kLanes && next_ < runs_.size()) {
            lanes_[live_++] = load(runs_[next_++]);
        }
        while (live_ >= 2) {
            if (live_ >= 8) {
                step<8>();
            } else if (live_ >= 4) {
                step<4>();
            } else {
                step<2>();
            }
        }
        if (live_ == 1) {
            Lane& lane = lanes_[0];
            double a = lane.acc;
            for (std::int64_t i = 0; i < lane.left; ++i) {
                a = a + lane.at[i];
            }
            *lane.sum = a;
        }
        runs_.clear();
    }

  private:
    static constexpr std::int64_t kShort = 8;
    static constexpr int kLanes = 8;
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

    // a[k] += p[k][0], p[k][1], …, p[k][r - 1], one term after the other for
    // each k, the W sums in registers of their own.
    template <int W>
    static void addSideBySide(double* a, const double* const* p, std::int64_t r) {
        if constexpr (W == 8) {
            double a0 = a[0], a1 = a[1], a2 = a[2], a3 = a[3];
            double a4 = a[4], a5 = a[5], a6 = a[6], a7 = a[7];
            const double *p0 = p[0], *p1 = p[1], *p2 = p[2], *p3 = p[3];
            const double *p4 = p[4], *p5 = p[5], *p6 = p[6], *p7 = p[7];
            for (std::int64_t i = 0; i < r; ++i) {
                a0 = a0 + p0[i];
                a1 = a1 + p1[i];
                a2 = a2 + p2[i];
                a3 = a3 + p3[i];
                a4 = a4 + p4[i];
                a5 = a5 + p5[i];
                a6 = a6 + p6[i];
                a7 = a7 + p7[i];
            }
            a[0] = a0, a[1] = a1, a[2] = a2, a[3] = a3;
            a[4] = a4, a[5] = a5, a[6] = a6, a[7] = a7;
        } else if constexpr (W == 4) {
            double a0 = a[0], a1 = a[1], a2 = a[2], a3 = a[3];
            const double *p0 = p[0], *p1 = p[1], *p2 = p[2], *p3 = p[3];
            for (std::int64_t i = 0; i < r; ++i) {
                a0 = a0 + p0[i];
                a1 = a1 + p1[i];
                a2 = a2 + p2[i];
                a3 = a3 + p3[i];
            }
            a[0] = a0, a[1] = a1, a[2] = a2, a[3] = a3;
        } else {
            static_assert(W == 2);
            double a0 = a[0], a1 = a[1];
            const double *p0 = p[0], *p1 = p[1];
            for (std::int64_t i = 0; i < r; ++i) {
                a0 = a0 + p0[i];
                a1 = a1 + p1[i];
            }
            a[0] = a0, a[1] = a1;
        }
    }

    // The first W live lanes each add as many terms as the shortest of them
    // has left; a lane that ends writes its sum and takes the next run, or
    // else the place of the last live lane.
    template <int W>
    void step() {
        std::int64_t r = lanes_[0].left;
        for (int k = 1; k < W; ++k) {
            r = std::min(r, lanes_[k].left);
        }
        double a[W];
        const double* p[W];
        for (int k = 0; k < W; ++k) {
            a[k] = lanes_[k].acc;
            p[k] = lanes_[k].at;
        }
        addSideBySide<W>(a, p, r);
        int stepping = W;  // the lanes of this step not yet moved on are k … stepping - 1
        for (int k = 0; k < stepping;) {
            Lane& lane = lanes_[k];
            lane.acc = a[k];
            lane.at += r;
            lane.left -= r;
            if (lane.left > 0) {
                ++k;
                continue;
            }
            *lane.sum = lane.acc;
            if (next_ < runs_.size()) {
                lane = load(runs_[next_++]);
                ++k;
            } else if (live_ > stepping) {
                // A lane that waited outside this step takes the place as it is.
                lane = lanes_[--live_];
                ++k;
            } else {
                // The last lane of this step, not yet moved on, takes the place.
                --live_;
                --stepping;
                lane = lanes_[stepping];
                a[k] = a[stepping];
            }
        }
    }

    std::vector<Run> runs_;
    Lane lanes_[kLanes];
    std::size_t next_ = 0;
    int live_ = 0;
};

}  // namespace

std::int64_t passTerms(std::int32_t n, std::int32_t m, const PassDivision& pass) {
    const IntVector lengths = subsequenceLengths(n, pass.l);
    const auto q = static_cast<std::int32_t>(lengths.size());
    const auto length = [&](std::int32_t c) { return lengths[static_cast<std::size_t>(c - 1)]; };
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
    return terms;
}

std::vector<PassMoments> binomialMomentsOfPasses(const RealVector& prob, std::int32_t n,
                                                 std::int32_t m,
                                                 const std::vector<PassDivision>& passes) {
    PassMomentWalk walk(n, m, passes);
    if (static_cast<std::int64_t>(prob.size()) != intersectionCount(n, m)) {
        throw std::invalid_argument("binomialMomentsOfPasses: " + std::to_string(prob.size()) +
                                    " probabilities for n=" + std::to_string(n) +
                                    ", m=" + std::to_string(m) + ", which need " +
                                    std::to_string(intersectionCount(n, m)));
    }
    walk.take(prob);
    return walk.finish();
}

// The moments of passes that are all chain divisions, in one walk through
// the probabilities from the first to the last. For every subset size s the
// subsets come in rows: all that share their first s - 1 events (the
// prefix), the last event running over the rest, at consecutive positions.
// Where a row meets a pass is fixed by the subsequences of the prefix: all
// in the first one, the row's events of each subsequence go to the moment of
// the first alone (k = s) or of the pair with it (s - 1, 1); all in a later
// one, the row's events in that subsequence go to its moment of order s; the
// first d in the first subsequence and the others in a later one, the row's
// events in that one go to the pair's moment (d, s - d); any other prefix is
// in no moment. Every moment thus gets its terms in increasing position,
// each added once, and every row is used while it is in the cache. The
// single events make the first row, with an empty prefix.
struct PassMomentWalk::Walk {
    std::int32_t n;
    std::int32_t m;
    std::vector<PassMoments> result;
    std::vector<RowLayout> layouts;
    // blockOf[x · passes + i]: the subsequence (from 0) of event x in pass
    // i, the passes of one event side by side, so that a row finds the
    // subsequences of its first and last event in every pass in two
    // straight scans.
    IntVector blockOf;
    std::int32_t perPair;
    std::vector<IntVector> pairOffset;  // pairOffset[d][e] for d, e ≥ 1, d + e ≤ m
    RowRuns runs;

    std::int32_t size = 1;  // the subset size of the row in hand; 0 once every row is done
    IntVector prefix;       // its first size - 1 events
    std::int32_t last = 0;  // the last event of the prefix (0 for the single events)
    std::int64_t taken = 0;
    RealVector carry;  // the start of a row that the end of a block cut

    Walk(std::int32_t events, std::int32_t order, const std::vector<PassDivision>& passes)
        : n(events), m(order), result(passes.size()), layouts(passes.size()) {
        const std::size_t count = passes.size();
        blockOf.assign((static_cast<std::size_t>(n) + 1) * count, 0);
        for (std::size_t i = 0; i < count; ++i) {
            result[i] = emptyMoments(n, m, passes[i]);
            RowLayout& layout = layouts[i];
            const IntVector lengths = subsequenceLengths(n, passes[i].l);
            layout.q = static_cast<std::int32_t>(lengths.size());
            layout.blockEnd.resize(layout.q);
            std::int32_t end = 0;
            for (std::int32_t c = 0; c < layout.q; ++c) {
                const std::int32_t start = end;
                end += lengths[static_cast<std::size_t>(c)];
                layout.blockEnd[c] = end;
                for (std::int32_t x = start + 1; x <= end; ++x) {
                    blockOf[static_cast<std::size_t>(x) * count + i] = c;
                }
            }
            layout.moments = result[i].moments.data();
            layout.pairBase = 1 + layout.q * m;
        }
        perPair = mixedOrdersPerPair(m);
        pairOffset.assign(static_cast<std::size_t>(m) + 1,
                          IntVector(static_cast<std::size_t>(m) + 1, 0));
        for (std::int32_t e = 1; e <= m - 1; ++e) {
            for (std::int32_t d = 1; d <= m - e; ++d) {
                pairOffset[d][e] = mixedOrderOffset(m, d, e);
            }
        }
        carry.reserve(static_cast<std::size_t>(n));
    }

    // The numbers of the row in hand: the subsets of the prefix and one
    // later event.
    std::int32_t rowLength() const { return n - last; }

    // The row in hand, from row[0], the subset that ends in last + 1.
    void walkRow(const double* row) {
        const std::int32_t s = size;
        if (s == 1) {
            for (RowLayout& layout : layouts) {
                std::int32_t from = 1;
                for (std::int32_t c = 0; c < layout.q; ++c) {
                    runs.add(&layout.moments[1 + c * m], row + (from - 1),
                             row + layout.blockEnd[c]);
                    from = layout.blockEnd[c] + 1;
                }
            }
            runs.flush();
            return;
        }
        const std::int32_t r = s - 1;
        // The run of the events last + 1 … z ends at row + (z - last).
        const auto upTo = [&](std::int32_t z) { return row + (z - last); };
        const std::size_t count = layouts.size();
        const std::int32_t* firstBlocks =
            blockOf.data() + static_cast<std::size_t>(prefix[0]) * count;
        const std::int32_t* lastBlocks = blockOf.data() + static_cast<std::size_t>(last) * count;
        for (std::size_t i = 0; i < count; ++i) {
            const std::int32_t first = firstBlocks[i];
            const std::int32_t lastBlock = lastBlocks[i];
            if (first != lastBlock && first != 0) {
                continue;  // the prefix lies in no moment of this pass
            }
            RowLayout& layout = layouts[i];
            const std::int32_t* end = layout.blockEnd.data();
            if (first == lastBlock) {
                runs.add(&layout.moments[1 + first * m + (s - 1)], row, upTo(end[first]));
                if (first == 0) {
                    double* pair = layout.moments + layout.pairBase + pairOffset[r][1];
                    for (std::int32_t b = 1; b < layout.q; ++b, pair += perPair) {
                        runs.add(pair, upTo(end[b - 1]), upTo(end[b]));
                    }
                }
            } else if (first == 0) {
                std::int32_t d = 1;
                const auto blockOfPrefix = [&](std::int32_t t) {
                    return blockOf[static_cast<std::size_t>(prefix[t]) * count + i];
                };
                while (blockOfPrefix(d) == 0) {
                    ++d;
                }
                if (blockOfPrefix(d) == lastBlock) {
                    runs.add(&layout.moments[layout.pairBase + (lastBlock - 1) * perPair +
                                             pairOffset[d][s - d]],
                             row, upTo(end[lastBlock]));
                }
            }
        }
        runs.flush();
    }

    // Moves to the next row that holds at least one number (a prefix ending
    // in n has none), or past the last row.
    void nextRow() {
        do {
            const std::int32_t r = size - 1;
            // The next prefix in lexicographic order.
            std::int32_t t = r - 1;
            while (t >= 0 && prefix[t] == n - (r - 1 - t)) {
                --t;
            }
            if (t >= 0) {
                ++prefix[t];
                for (std::int32_t u = t + 1; u < r; ++u) {
                    prefix[u] = prefix[u - 1] + 1;
                }
            } else if (size < std::min(m, n)) {
                ++size;
                prefix.resize(static_cast<std::size_t>(size) - 1);
                for (std::int32_t u = 0; u < size - 1; ++u) {
                    prefix[u] = u + 1;
                }
            } else {
                size = 0;
                return;
            }
            last = prefix.back();
        } while (last == n);
    }

    void take(std::span<const double> block) {
        const double* p = block.data();
        std::size_t left = block.size();
        while (left > 0) {
            if (size == 0) {
                throw std::invalid_argument(
                    "PassMomentWalk: more than the " + std::to_string(intersectionCount(n, m)) +
                    " probabilities of n=" + std::to_string(n) + ", m=" + std::to_string(m));
            }
            const auto length = static_cast<std::size_t>(rowLength());
            if (carry.empty() && left >= length) {
                walkRow(p);
                p += length;
                left -= length;
                taken += static_cast<std::int64_t>(length);
                nextRow();
                continue;
            }
            const std::size_t part = std::min(left, length - carry.size());
            carry.insert(carry.end(), p, p + part);
            p += part;
            left -= part;
            taken += static_cast<std::int64_t>(part);
            if (carry.size() == length) {
                walkRow(carry.data());
                carry.clear();
                nextRow();
            }
        }
    }

    // A pass's moments before the walk: E[C(X, 0)] = 1 and zeros.
    static PassMoments emptyMoments(std::int32_t n, std::int32_t m, const PassDivision& pass) {
        const std::int32_t q = subsequenceCount(n, pass.l);
        PassMoments moments;
        moments.terms = passTerms(n, m, pass);
        moments.moments.assign(
            static_cast<std::size_t>(1 + q * m + (q - 1) * mixedOrdersPerPair(m)), 0.0);
        moments.moments[0] = 1.0;
        return moments;
    }
};

PassMomentWalk::PassMomentWalk(std::int32_t n, std::int32_t m,
                               const std::vector<PassDivision>& passes) {
    if (n < 1 || m < 1) {
        throw std::invalid_argument("binomialMomentsOfPasses: n=" + std::to_string(n) +
                                    ", m=" + std::to_string(m) + " hold no intersection");
    }
    for (const PassDivision& pass : passes) {
        if (!isChainDivision(n, m, pass)) {
            throw std::invalid_argument("binomialMomentsOfPasses: the division of l=" +
                                        std::to_string(pass.l) +
                                        " is not n/l subsequences of order m with the first "
                                        "paired with every other");
        }
    }
    walk_ = std::make_unique<Walk>(n, m, passes);
}

PassMomentWalk::~PassMomentWalk() = default;

void PassMomentWalk::take(std::span<const double> block) {
    walk_->take(block);
}

std::int64_t PassMomentWalk::taken() const {
    return walk_->taken;
}

std::vector<PassMoments> PassMomentWalk::finish() {
    if (walk_->size != 0) {
        throw std::invalid_argument("PassMomentWalk: " + std::to_string(walk_->taken) +
                                    " probabilities for n=" + std::to_string(walk_->n) +
                                    ", m=" + std::to_string(walk_->m) + ", which need " +
                                    std::to_string(intersectionCount(walk_->n, walk_->m)));
    }
    return std::move(walk_->result);
}

}  // namespace unionbound
