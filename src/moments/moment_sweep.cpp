#include "moments/moment_sweep.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "moments/moment_index.hpp"
#include "moments/subsets.hpp"

namespace unionbound {

namespace {

// The position of a subset in the subset order: with s elements x_0 < … <
// x_{s-1}, its rank among the s-subsets in lexicographic order is
// C(n,s) - 1 - Σ_i C(n - x_i, s - i). The last term is n - x_{s-1}, so the
// subsets that differ only in their last element have consecutive positions.
class SubsetPositions {
  public:
    SubsetPositions(std::int32_t n, std::int32_t m) : n_(n), m_(m) {
        const std::int32_t top = std::max(m, 0);
        table_.assign(static_cast<std::size_t>(n + 1) * (top + 1), 0);
        for (std::int32_t a = 0; a <= n; ++a) {
            for (std::int32_t b = 0; b <= top; ++b) {
                table_[static_cast<std::size_t>(a) * (top + 1) + b] = subsetCount(a, b);
            }
        }
        firstOfSize_.assign(top + 2, 0);
        for (std::int32_t s = 1; s <= top; ++s) {
            firstOfSize_[s + 1] = firstOfSize_[s] + subsetCount(n, s);
        }
    }
    std::int32_t n() const { return n_; }
    // C(a, b) for 0 ≤ a ≤ n, 0 ≤ b ≤ m.
    std::int64_t choose(std::int32_t a, std::int32_t b) const {
        return table_[static_cast<std::size_t>(a) * (m_ + 1) + b];
    }
    // The position of the last s-subset, (n-s+1, …, n), plus one, minus one:
    // the base from which the terms C(n - x_i, s - i) are taken off.
    std::int64_t base(std::int32_t s) const { return firstOfSize_[s] + subsetCount(n_, s) - 1; }

  private:
    std::int32_t n_;
    std::int32_t m_;
    std::vector<std::int64_t> table_;
    std::vector<std::int64_t> firstOfSize_;
};

// The subsets with `low` elements in events lowFirst … lowLast and `high`
// elements in highFirst … highLast (high ≥ 1, lowLast < highFirst), as runs
// [begin, end) of consecutive positions in increasing order. All elements
// but the last (the prefix) run through their choices like an odometer; the
// last element fills the run.
class RunWalk {
  public:
    RunWalk(const SubsetPositions& positions, std::int32_t low, std::int32_t lowFirst,
            std::int32_t lowLast, std::int32_t high, std::int32_t highFirst, std::int32_t highLast)
        : positions_(&positions), size_(low + high), low_(low) {
        valid_ = high >= 1 && low >= 0 && high <= highLast - highFirst + 1 &&
                 low <= lowLast - lowFirst + 1 && (low == 0 || lowLast < highFirst);
        if (!valid_) {
            return;
        }
        base_ = positions.base(size_);
        typical_ = (highLast - highFirst + 1) / high;
        shape_ =
            ((static_cast<std::int64_t>(size_) * 64 + low) * 4096 + (lowLast - lowFirst)) * 4096 +
            (highLast - highFirst);
        x_.resize(size_);
        first_.resize(size_);
        last_.resize(size_);
        taken_.assign(size_ + 1, 0);
        for (std::int32_t t = 0; t < size_; ++t) {
            first_[t] = t < low ? lowFirst : highFirst;
            last_[t] = t < low ? lowLast - (low - 1 - t) : highLast - (size_ - 1 - t);
        }
        if (size_ > 1) {
            x_[0] = first_[0];
            restartAfter(0);
        }
        setRun();
    }

    bool valid() const { return valid_; }
    // The length of the high range per high element: about how long a run is.
    std::int64_t typicalRun() const { return typical_; }
    // Walks with the same shape have runs of the same lengths in the same
    // order; side by side they reach the ends of their runs together.
    std::int64_t shape() const { return shape_; }
    std::int64_t begin() const { return begin_; }
    std::int64_t end() const { return end_; }
    // The run is used up to `position`; the rest comes later.
    void skipTo(std::int64_t position) { begin_ = position; }

    // Moves to the next run; valid() turns false after the last one.
    void next() {
        // Mostly the element before the last grows and nothing restarts.
        std::int32_t t = size_ - 2;
        if (t >= 0 && x_[t] < last_[t]) {
            ++x_[t];
            const SubsetPositions& p = *positions_;
            taken_[t + 1] = taken_[t] + p.choose(p.n() - x_[t], 2);
            setRun();
            return;
        }
        // The rightmost prefix element that can still grow.
        while (t >= 0 && x_[t] >= last_[t]) {
            --t;
        }
        if (t < 0) {
            valid_ = false;
            return;
        }
        ++x_[t];
        restartAfter(t);
        setRun();
    }

  private:
    // The prefix elements after t restart at their smallest choice, and the
    // running sums of the position terms are brought up to date from t on.
    void restartAfter(std::int32_t t) {
        const SubsetPositions& p = *positions_;
        for (std::int32_t u = t + 1; u < size_ - 1; ++u) {
            x_[u] = u == low_ ? first_[u] : x_[u - 1] + 1;
        }
        for (std::int32_t u = t; u < size_ - 1; ++u) {
            taken_[u + 1] = taken_[u] + p.choose(p.n() - x_[u], size_ - u);
        }
    }
    void setRun() {
        const std::int32_t lastIndex = size_ - 1;
        const std::int32_t from = lastIndex == low_ ? first_[lastIndex] : x_[lastIndex - 1] + 1;
        const std::int32_t to = last_[lastIndex];
        // The last element's term is C(n - x, 1) = n - x.
        begin_ = base_ - taken_[lastIndex] - (positions_->n() - from);
        end_ = begin_ + (to - from + 1);
    }

    const SubsetPositions* positions_;
    std::int32_t size_;
    std::int32_t low_;
    bool valid_ = false;
    std::int64_t base_ = 0;
    std::int64_t typical_ = 0;
    std::int64_t shape_ = 0;
    std::int64_t begin_ = 0;
    std::int64_t end_ = 0;
    IntVector x_;
    IntVector first_;
    IntVector last_;
    std::vector<std::int64_t> taken_;
};

// One sum: its walk, its running value and where it goes.
struct SumTask {
    RunWalk walk;
    double sum;
    std::size_t pass;
    std::size_t entry;
};

// Events of subsequence c (1-based) of the division n / l.
struct EventRange {
    std::int32_t first;
    std::int32_t last;
};
EventRange eventsOf(std::int32_t n, std::int32_t l, std::int32_t c) {
    const std::int32_t q = n / l;
    return {(c - 1) * l + 1, c == q ? n : c * l};
}

// Four sums side by side over the runs of their walks inside [.., stop);
// a lane whose sum has nothing more before `stop` hands its value back and
// takes the next task of the queue.
class SumLanes {
  public:
    static constexpr int K = 4;

    SumLanes(const double* prob, std::int64_t stop) : prob_(prob), stop_(stop) {}

    // Each sum alone, run after run: with short runs the processor overlaps
    // the step to the next run with the additions, which the lanes cannot.
    void runOneByOne(const std::vector<SumTask*>& queue) {
        for (SumTask* task : queue) {
            Lane lane{};
            if (load(lane, task)) {
                finishAlone(lane);
            }
        }
    }

    void run(std::vector<SumTask*>& queue) {
        std::size_t next = 0;
        std::array<Lane, K> lanes{};
        int live = 0;
        const auto fill = [&](Lane& lane) {
            while (next < queue.size()) {
                SumTask* task = queue[next++];
                if (load(lane, task)) {
                    return true;
                }
            }
            return false;
        };
        for (int k = 0; k < K; ++k) {
            if (fill(lanes[k])) {
                ++live;
            } else {
                break;
            }
        }
        while (live == K) {
            std::int64_t r = lanes[0].left;
            for (int k = 1; k < K; ++k) {
                r = std::min(r, lanes[k].left);
            }
            addSideBySide(lanes, r);
            for (int k = 0; k < live;) {
                Lane& lane = lanes[k];
                if (lane.left > 0 || advance(lane) || fill(lane)) {
                    ++k;
                    continue;
                }
                // Keep the live lanes first.
                std::swap(lanes[k], lanes[live - 1]);
                --live;
            }
        }
        // Fewer than K sums left: one after the other.
        for (int k = 0; k < live; ++k) {
            finishAlone(lanes[k]);
        }
    }

  private:
    struct Lane {
        SumTask* task;
        const double* at;
        std::int64_t left;
        double acc;
    };

    // Adds the rest of one sum's runs to its total, term after term.
    void finishAlone(Lane& lane) {
        do {
            double a = lane.acc;
            for (std::int64_t i = 0; i < lane.left; ++i) {
                a = a + lane.at[i];
            }
            lane.acc = a;
            lane.at += lane.left;
            lane.left = 0;
        } while (advance(lane));
    }

    // The next r terms of every lane, each lane's sum in its own order.
    template <std::size_t... k>
    static void addLanes(std::array<Lane, K>& lanes, std::int64_t r, std::index_sequence<k...>) {
        double acc[K] = {lanes[k].acc...};
        const double* at[K] = {lanes[k].at...};
        for (std::int64_t i = 0; i < r; ++i) {
            ((acc[k] = acc[k] + at[k][i]), ...);
        }
        ((lanes[k].acc = acc[k], lanes[k].at += r, lanes[k].left -= r), ...);
    }
    static void addSideBySide(std::array<Lane, K>& lanes, std::int64_t r) {
        addLanes(lanes, r, std::make_index_sequence<K>{});
    }

    // Points the lane at the task's current run (cut at stop); false when
    // the task has nothing before stop.
    bool load(Lane& lane, SumTask* task) {
        RunWalk& walk = task->walk;
        if (!walk.valid() || walk.begin() >= stop_) {
            return false;
        }
        lane.task = task;
        lane.acc = task->sum;
        lane.at = prob_ + walk.begin();
        lane.left = std::min(walk.end(), stop_) - walk.begin();
        return true;
    }

    // The lane has used up its piece: moves the task on. False (with the sum
    // handed back) when the task has nothing more before stop.
    bool advance(Lane& lane) {
        SumTask* task = lane.task;
        RunWalk& walk = task->walk;
        const std::int64_t reached = lane.at - prob_;
        if (reached < walk.end()) {
            walk.skipTo(reached);  // the run goes on in the next piece
        } else {
            walk.next();
        }
        if (walk.valid() && walk.begin() < stop_) {
            lane.at = prob_ + walk.begin();
            lane.left = std::min(walk.end(), stop_) - walk.begin();
            return true;
        }
        task->sum = lane.acc;
        return false;
    }

    const double* prob_;
    std::int64_t stop_;
};

// Whether every pass divides the events as the driver does: q = n / l
// subsequences of order m each and the pairs (1,2), (1,3), …, (1,q).
bool isDriverDivision(std::int32_t n, std::int32_t m, const PassDivision& pass) {
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

// The moments of passes that all divide the events as the driver does, in
// one walk through the probabilities from the first to the last. For every
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
                                                 const std::vector<PassDivision>& passes,
                                                 std::int64_t piece) {
    return binomialMomentsOfPasses(prob, n, m, passes, piece, kLongRun);
}

std::vector<PassMoments> binomialMomentsOfPasses(const RealVector& prob, std::int32_t n,
                                                 std::int32_t m,
                                                 const std::vector<PassDivision>& passes,
                                                 std::int64_t piece, std::int64_t longRun) {
    std::vector<PassMoments> result(passes.size());
    if (n < 1 || m < 1) {
        for (std::size_t i = 0; i < passes.size(); ++i) {
            const PassDivision& pass = passes[i];
            result[i].moments.assign(momentIndexList(m, pass.pairs, pass.orders).size(), 0.0);
            result[i].moments[0] = 1.0;
            result[i].terms = 0;
        }
        return result;
    }
    const SubsetPositions positions(n, m);
    const std::int64_t total =
        std::min<std::int64_t>(static_cast<std::int64_t>(prob.size()), intersectionCount(n, m));

    std::vector<SumTask> tasks;
    for (std::size_t i = 0; i < passes.size(); ++i) {
        const PassDivision& pass = passes[i];
        const std::int32_t l = pass.l;
        const std::int32_t q = n / l;
        RealVector& moments = result[i].moments;
        result[i].terms = 0;
        std::size_t entry = 1;
        for (std::size_t c = 1; c <= pass.orders.size(); ++c) {
            for (std::int32_t k = 1; k <= pass.orders[c - 1]; ++k, ++entry) {
                if (static_cast<std::int32_t>(c) <= q && k <= m) {
                    const EventRange r = eventsOf(n, l, static_cast<std::int32_t>(c));
                    result[i].terms += positions.choose(r.last - r.first + 1, k);
                    tasks.push_back(
                        {RunWalk(positions, 0, 0, 0, k, r.first, r.last), 0.0, i, entry});
                }
            }
        }
        for (const IntVector& pair : pass.pairs) {
            const std::int32_t a = pair[0];
            const std::int32_t b = pair[1];
            const bool usable = a != b && a >= 1 && a <= q && b >= 1 && b <= q;
            for (std::int32_t e = 1; e <= m - 1; ++e) {
                for (std::int32_t d = 1; d <= m - e; ++d, ++entry) {
                    if (!usable) {
                        continue;
                    }
                    // In the subset, the events of the earlier subsequence come first.
                    const EventRange ra = eventsOf(n, l, a);
                    const EventRange rb = eventsOf(n, l, b);
                    result[i].terms += positions.choose(ra.last - ra.first + 1, d) *
                                       positions.choose(rb.last - rb.first + 1, e);
                    if (a < b) {
                        tasks.push_back(
                            {RunWalk(positions, d, ra.first, ra.last, e, rb.first, rb.last), 0.0, i,
                             entry});
                    } else {
                        tasks.push_back(
                            {RunWalk(positions, e, rb.first, rb.last, d, ra.first, ra.last), 0.0, i,
                             entry});
                    }
                }
            }
        }
        moments.assign(entry, 0.0);
        moments[0] = 1.0;
    }

    bool driverDivisions = total == intersectionCount(n, m);
    for (const PassDivision& pass : passes) {
        driverDivisions = driverDivisions && isDriverDivision(n, m, pass);
    }
    if (driverDivisions) {
        walkRows(prob.data(), n, m, passes, result);
        return result;
    }

    // Tasks join the walk at their first run and leave after their last.
    std::vector<SumTask*> waiting;
    waiting.reserve(tasks.size());
    for (SumTask& task : tasks) {
        if (task.walk.valid()) {
            waiting.push_back(&task);
        }
    }
    std::stable_sort(waiting.begin(), waiting.end(), [](const SumTask* x, const SumTask* y) {
        return x->walk.begin() < y->walk.begin();
    });
    piece = std::max<std::int64_t>(piece, 1);
    std::vector<SumTask*> active;
    std::vector<SumTask*> busy;
    std::vector<SumTask*> alone;
    std::size_t joined = 0;
    for (std::int64_t start = 0; start < total; start += piece) {
        const std::int64_t stop = std::min(total, start + piece);
        while (joined < waiting.size() && waiting[joined]->walk.begin() < stop) {
            active.push_back(waiting[joined++]);
        }
        busy.clear();
        alone.clear();
        for (SumTask* task : active) {
            if (task->walk.begin() < stop) {
                (task->walk.typicalRun() >= longRun ? busy : alone).push_back(task);
            }
        }
        std::stable_sort(busy.begin(), busy.end(), [](const SumTask* x, const SumTask* y) {
            return x->walk.shape() < y->walk.shape();
        });
        SumLanes lanes(prob.data(), stop);
        lanes.runOneByOne(alone);
        lanes.run(busy);
        active.erase(std::remove_if(active.begin(), active.end(),
                                    [&](const SumTask* task) {
                                        return !task->walk.valid() || task->walk.begin() >= total;
                                    }),
                     active.end());
    }
    for (const SumTask& task : tasks) {
        result[task.pass].moments[task.entry] = task.sum;
    }
    return result;
}

}  // namespace unionbound
