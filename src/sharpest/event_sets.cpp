#include "sharpest/event_sets.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <utility>

#include "moments/subsets.hpp"
#include "numeric/directed_rounding.hpp"

namespace unionbound {

namespace {

// An outcome joins the working set when its violation exceeds this (see
// lattice_space.cpp).
constexpr double kPricingTolerance = 1e-11;

constexpr std::int64_t kLowest = std::numeric_limits<std::int64_t>::min() / 4;
// Candidates of a node up to which their bounds are closed in (closeBounds):
// the work is their number squared.
constexpr std::size_t kCloserBounds = 32;
// Nodes of the search that bounds the violation in a round whose outcomes
// the local search found.
constexpr std::int64_t kBoundBudget = std::int64_t{1} << 14;

std::uint64_t hashOf(std::span<const std::int32_t> events) {
    std::uint64_t hash = 1469598103934665603ULL;
    for (std::int32_t event : events) {
        hash = (hash ^ static_cast<std::uint32_t>(event)) * 1099511628211ULL;
    }
    return hash;
}

}  // namespace

// --- the positive intersections -------------------------------------------

PositiveIntersections::PositiveIntersections(std::int32_t n, std::int32_t m,
                                             std::span<const double> prob)
    : n_(n), m_(std::min(m, n)) {
    targets_.push_back(1.0);
    sizes_.push_back(0);
    lastEvent_.push_back(-1);
    parent_.push_back(-1);
    // Rows in the subset order; a row's parent is the row of its events but
    // the last, found by walking the children added so far.
    std::vector<std::vector<std::pair<std::int32_t, std::int32_t>>> children(1);
    std::size_t k = 0;
    for (SubsetCursor cursor(n, m_); cursor.valid(); cursor.next(), ++k) {
        const double p = prob[k];
        if (p == 0.0) {
            zeroCount_ += 1.0;
            continue;
        }
        const IntVector& subset = cursor.subset();
        std::int32_t row = 0;
        for (std::size_t j = 0; j + 1 < subset.size() && row >= 0; ++j) {
            const auto& list = children[static_cast<std::size_t>(row)];
            const auto found = std::lower_bound(list.begin(), list.end(),
                                                std::make_pair(subset[j] - 1, std::int32_t{-1}));
            row = found != list.end() && found->first == subset[j] - 1 ? found->second : -1;
        }
        const auto self = static_cast<std::int32_t>(targets_.size());
        targets_.push_back(p);
        sizes_.push_back(static_cast<std::int32_t>(subset.size()));
        lastEvent_.push_back(subset.back() - 1);
        parent_.push_back(row);
        children.emplace_back();
        // A positive intersection with a subset of probability 0 (data that
        // no distribution has) is a row, but no outcome reaches it.
        if (row >= 0) {
            children[static_cast<std::size_t>(row)].emplace_back(subset.back() - 1, self);
        }
    }
    childStart_.push_back(0);
    for (const auto& list : children) {
        for (const auto& entry : list) {
            childRows_.push_back(entry.second);
        }
        childStart_.push_back(static_cast<std::int64_t>(childRows_.size()));
    }
}

std::span<const std::int32_t> PositiveIntersections::children(std::int32_t row) const {
    const auto r = static_cast<std::size_t>(row);
    return {childRows_.data() + childStart_[r],
            static_cast<std::size_t>(childStart_[r + 1] - childStart_[r])};
}

std::int32_t PositiveIntersections::child(std::int32_t row, std::int32_t event) const {
    const std::span<const std::int32_t> list = children(row);
    const auto found = std::lower_bound(
        list.begin(), list.end(), event, [this](std::int32_t childRow, std::int32_t e) {
            return lastEvent_[static_cast<std::size_t>(childRow)] < e;
        });
    return found != list.end() && lastEvent_[static_cast<std::size_t>(*found)] == event ? *found
                                                                                        : -1;
}

std::vector<std::int32_t> PositiveIntersections::eventsOfRow(std::int32_t row) const {
    std::vector<std::int32_t> events;
    for (; row > 0; row = parent_[static_cast<std::size_t>(row)]) {
        events.push_back(lastEvent_[static_cast<std::size_t>(row)]);
    }
    std::reverse(events.begin(), events.end());
    return events;
}

std::int32_t PositiveIntersections::rowOf(std::span<const std::int32_t> events) const {
    std::int32_t row = 0;
    for (std::size_t k = 0; k < events.size() && row >= 0; ++k) {
        row = child(row, events[k]);
    }
    return row;
}

bool PositiveIntersections::rowsOf(std::span<const std::int32_t> events,
                                   std::vector<std::int32_t>& rows) const {
    rows.assign(1, 0);
    // Every subset of at most m events, grown from each row found by the
    // events after its last one.
    for (std::size_t at = 0; at < rows.size(); ++at) {
        const std::int32_t row = rows[at];
        if (sizes_[static_cast<std::size_t>(row)] == m_) {
            continue;
        }
        const auto after = std::upper_bound(events.begin(), events.end(),
                                            lastEvent_[static_cast<std::size_t>(row)]);
        for (auto e = after; e != events.end(); ++e) {
            const std::int32_t grown = child(row, *e);
            if (grown < 0) {
                return false;
            }
            rows.push_back(grown);
        }
    }
    std::sort(rows.begin(), rows.end());
    return true;
}

// --- the branch and bound -------------------------------------------------

namespace {

class Search {
  public:
    Search(const PositiveIntersections& rows, std::span<const std::int64_t> weights,
           std::int64_t floor, std::int32_t most, std::int64_t budget,
           const std::function<bool(std::span<const std::int32_t>)>& skip,
           std::optional<std::chrono::steady_clock::time_point> deadline)
        : rows_(rows),
          w_(weights),
          floor_(floor),
          most_(most),
          budget_(budget),
          skip_(skip),
          deadline_(deadline) {
        // What the intersections below a row can add at most: the positive
        // parts of their weights (children have larger rows).
        pos_.assign(weights.size(), 0);
        for (auto row = static_cast<std::int32_t>(weights.size()) - 1; row >= 0; --row) {
            std::int64_t sum = 0;
            for (std::int32_t c : rows.children(row)) {
                sum += std::max<std::int64_t>(w_[static_cast<std::size_t>(c)], 0) +
                       pos_[static_cast<std::size_t>(c)];
            }
            pos_[static_cast<std::size_t>(row)] = sum;
        }
        // One level per event an outcome can hold, allocated once: a level's
        // candidates stay put while the levels below it are searched.
        levels_.resize(static_cast<std::size_t>(rows.events()) + 2);
    }

    SearchResult run() {
        std::vector<Candidate>& first = levels_[0].candidates;
        for (std::int32_t c : rows_.children(0)) {
            first.push_back({rows_.lastEvent(c), w_[static_cast<std::size_t>(c)],
                             w_[static_cast<std::size_t>(c)] + pos_[static_cast<std::size_t>(c)]});
        }
        frontier_.push_back(0);
        visit(0, 0);
        SearchResult result;
        result.complete = !cut_;
        result.largest = std::max({bestValue_, pruned_, open_});
        std::sort_heap(heap_.begin(), heap_.end(), Worse{});
        for (auto& entry : heap_) {
            result.best.push_back(std::move(entry));
        }
        return result;
    }

  private:
    struct Candidate {
        std::int32_t event;
        std::int64_t gain;   // what the event adds to the outcome's value
        std::int64_t bound;  // what it and the intersections after it can add at most
    };
    struct Level {
        std::vector<Candidate> candidates;
        std::vector<std::int64_t> open;  // Σ of the positive bounds from each candidate on
    };
    using Entry = std::pair<std::int64_t, std::vector<std::int32_t>>;
    // Orders the heap so that its front is the smallest value collected.
    struct Worse {
        bool operator()(const Entry& a, const Entry& b) const { return a.first > b.first; }
    };

    // A subtree that cannot exceed this is left out: the best value so far
    // when only the largest is sought, else the least of those collected
    // once there are enough; never below the floor.
    std::int64_t threshold() const {
        if (most_ == 0) {
            return std::max(floor_, bestValue_);
        }
        if (heap_.size() < static_cast<std::size_t>(most_)) {
            return floor_;
        }
        return std::max(floor_, heap_.front().first);
    }

    // The clock is read once every kNodesPerClockReading nodes; once past
    // the deadline, every later node is too.
    bool pastDeadline() {
        constexpr std::int64_t kNodesPerClockReading = 1024;
        if (deadline_ && !late_ && nodes_ % kNodesPerClockReading == 0) {
            late_ = std::chrono::steady_clock::now() >= *deadline_;
        }
        return late_;
    }

    void offer(std::int64_t value) {
        const bool above = value > threshold();
        bestValue_ = std::max(bestValue_, value);
        if (most_ == 0 || !above || (skip_ && skip_(events_))) {
            return;
        }
        heap_.emplace_back(value, events_);
        std::push_heap(heap_.begin(), heap_.end(), Worse{});
        if (heap_.size() > static_cast<std::size_t>(most_)) {
            std::pop_heap(heap_.begin(), heap_.end(), Worse{});
            heap_.pop_back();
        }
    }

    // The node of the events in events_, of value `value`, with the
    // candidates of levels_[depth] (increasing events); the frontier holds
    // the rows of every subset of the node's events with fewer than m events.
    void visit(std::int64_t value, std::size_t depth) {
        Level& level = levels_[depth];
        const std::vector<Candidate>& candidates = level.candidates;
        level.open.assign(candidates.size() + 1, 0);
        for (std::size_t i = candidates.size(); i-- > 0;) {
            level.open[i] = level.open[i + 1] + std::max<std::int64_t>(candidates[i].bound, 0);
        }
        const std::size_t frontierSize = frontier_.size();
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            const std::int64_t reach = value + level.open[i];
            if (reach <= threshold()) {
                pruned_ = std::max(pruned_, reach);
                return;
            }
            if (nodes_ >= budget_ || pastDeadline()) {
                cut_ = true;
                open_ = std::max(open_, reach);
                return;
            }
            ++nodes_;
            const Candidate& chosen = candidates[i];
            events_.push_back(chosen.event);
            const std::int64_t grown = value + chosen.gain;
            offer(grown);
            // The rows that the chosen event adds to the frontier.
            for (std::size_t f = 0; f < frontierSize; ++f) {
                const std::int32_t r = frontier_[f];
                if (rows_.sizes()[static_cast<std::size_t>(r)] + 1 < rows_.order()) {
                    frontier_.push_back(rows_.child(r, chosen.event));
                }
            }
            std::vector<Candidate>& next = levels_[depth + 1].candidates;
            next.clear();
            for (std::size_t j = i + 1; j < candidates.size(); ++j) {
                Candidate later = candidates[j];
                bool admissible = true;
                for (std::size_t f = frontierSize; f < frontier_.size() && admissible; ++f) {
                    const std::int32_t c = rows_.child(frontier_[f], later.event);
                    if (c < 0) {
                        admissible = false;
                    } else {
                        later.gain += w_[static_cast<std::size_t>(c)];
                        later.bound +=
                            w_[static_cast<std::size_t>(c)] + pos_[static_cast<std::size_t>(c)];
                    }
                }
                if (admissible) {
                    next.push_back(later);
                }
            }
            if (next.size() > 1 && next.size() <= kCloserBounds) {
                closeBounds(next);
            }
            if (!next.empty()) {
                visit(grown, depth + 1);
            }
            frontier_.resize(frontierSize);
            events_.pop_back();
            if (cut_) {
                open_ = std::max(open_, value + level.open[i + 1]);
                return;
            }
        }
    }

    // A candidate's bound counts the intersections with an event after it
    // only through the candidates after it, not through every later event:
    // far closer once the candidates are few (the frontier holds the node's
    // subsets, whose rows with the candidate and a later one are those terms).
    void closeBounds(std::vector<Candidate>& candidates) const {
        const std::int32_t m = rows_.order();
        for (std::size_t a = 0; a + 1 < candidates.size(); ++a) {
            Candidate& first = candidates[a];
            std::int64_t optimistic = 0;
            for (const std::int32_t r : frontier_) {
                if (rows_.sizes()[static_cast<std::size_t>(r)] + 2 > m) {
                    continue;
                }
                const std::int32_t withFirst = rows_.child(r, first.event);
                for (std::size_t b = a + 1; b < candidates.size(); ++b) {
                    const std::int32_t c = rows_.child(withFirst, candidates[b].event);
                    if (c >= 0) {
                        optimistic += std::max<std::int64_t>(w_[static_cast<std::size_t>(c)], 0) +
                                      pos_[static_cast<std::size_t>(c)];
                    }
                }
            }
            first.bound = std::min(first.bound, first.gain + optimistic);
        }
        Candidate& last = candidates.back();
        last.bound = std::min(last.bound, last.gain);
    }

    const PositiveIntersections& rows_;
    std::span<const std::int64_t> w_;
    std::vector<std::int64_t> pos_;
    std::int64_t floor_;
    std::int32_t most_;
    std::int64_t budget_;
    const std::function<bool(std::span<const std::int32_t>)>& skip_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    std::int64_t nodes_ = 0;
    bool late_ = false;
    bool cut_ = false;
    std::int64_t bestValue_ = kLowest;
    std::int64_t pruned_ = kLowest;
    std::int64_t open_ = kLowest;
    std::vector<std::int32_t> events_;
    std::vector<std::int32_t> frontier_;
    std::vector<Level> levels_;
    std::vector<Entry> heap_;
};

}  // namespace

SearchResult searchOutcomes(const PositiveIntersections& rows,
                            std::span<const std::int64_t> weights, std::int64_t floor,
                            std::int32_t most, std::int64_t budget,
                            const std::function<bool(std::span<const std::int32_t>)>& skip,
                            std::optional<std::chrono::steady_clock::time_point> deadline) {
    return Search(rows, weights, floor, most, budget, skip, deadline).run();
}

// --- the local search -------------------------------------------------------

namespace {

// Grows outcomes from every positive intersection of one or two events,
// each time by the event that adds the most while anything adds, keeping
// them admissible: cheap, and most rounds find their outcomes this way.
// Every outcome on the way whose value exceeds `floor` is a find. Returns up
// to `most` finds, largest first (none that `skip` names).
class Growth {
  public:
    Growth(const PositiveIntersections& rows, std::span<const std::int64_t> w, std::int64_t floor,
           const std::function<bool(std::span<const std::int32_t>)>& skip)
        : rows_(rows), w_(w), floor_(floor), skip_(skip) {}

    std::vector<std::pair<std::int64_t, std::vector<std::int32_t>>> run(std::int32_t most) {
        for (std::int32_t single : rows_.children(0)) {
            grow({rows_.lastEvent(single)});
            if (rows_.order() >= 2) {
                for (std::int32_t pair : rows_.children(single)) {
                    grow({rows_.lastEvent(single), rows_.lastEvent(pair)});
                }
            }
        }
        std::vector<std::pair<std::int64_t, std::vector<std::int32_t>>> found;
        for (auto& [events, value] : finds_) {
            found.emplace_back(value, events);
        }
        std::sort(found.begin(), found.end(),
                  [](const auto& a, const auto& b) { return a.first > b.first; });
        if (found.size() > static_cast<std::size_t>(most)) {
            found.resize(static_cast<std::size_t>(most));
        }
        return found;
    }

  private:
    struct Candidate {
        std::int32_t event;
        std::int64_t gain;
    };

    // The row of subset ∪ {a} (∪ {b}), or −1.
    std::int32_t rowWith(const std::vector<std::int32_t>& subset, std::int32_t a,
                         std::int32_t b = -1) {
        key_ = subset;
        key_.push_back(a);
        if (b >= 0) {
            key_.push_back(b);
        }
        std::sort(key_.begin(), key_.end());
        return rows_.rowOf(key_);
    }

    void grow(std::vector<std::int32_t> events) {
        const std::int32_t m = rows_.order();
        // The subsets of the outcome with fewer than m events, and its value.
        std::vector<std::vector<std::int32_t>> subsets{{}};
        std::int64_t value = 0;
        for (std::int32_t event : events) {
            const std::size_t before = subsets.size();
            for (std::size_t k = 0; k < before; ++k) {
                const std::int32_t r = rowWith(subsets[k], event);
                value += w_[static_cast<std::size_t>(r)];
                if (static_cast<std::int32_t>(subsets[k].size()) + 1 < m) {
                    std::vector<std::int32_t> more = subsets[k];
                    more.push_back(event);
                    std::sort(more.begin(), more.end());
                    subsets.push_back(std::move(more));
                }
            }
        }
        std::vector<Candidate> candidates;
        for (std::int32_t single : rows_.children(0)) {
            const std::int32_t event = rows_.lastEvent(single);
            if (std::find(events.begin(), events.end(), event) != events.end()) {
                continue;
            }
            std::int64_t gain = 0;
            bool admissible = true;
            for (const std::vector<std::int32_t>& subset : subsets) {
                const std::int32_t r = rowWith(subset, event);
                if (r < 0) {
                    admissible = false;
                    break;
                }
                gain += w_[static_cast<std::size_t>(r)];
            }
            if (admissible) {
                candidates.push_back({event, gain});
            }
        }
        for (;;) {
            offer(value, events);
            const auto best = std::max_element(
                candidates.begin(), candidates.end(),
                [](const Candidate& a, const Candidate& b) { return a.gain < b.gain; });
            if (best == candidates.end() || best->gain <= 0) {
                return;
            }
            const std::int32_t added = best->event;
            value += best->gain;
            *best = candidates.back();
            candidates.pop_back();
            // The subsets the new event makes, and the candidates' gains.
            std::vector<std::vector<std::int32_t>> made;
            for (const std::vector<std::int32_t>& subset : subsets) {
                if (static_cast<std::int32_t>(subset.size()) + 1 < m) {
                    std::vector<std::int32_t> more = subset;
                    more.push_back(added);
                    std::sort(more.begin(), more.end());
                    made.push_back(std::move(more));
                }
            }
            for (std::size_t c = 0; c < candidates.size();) {
                std::int64_t gain = 0;
                bool admissible = true;
                for (const std::vector<std::int32_t>& subset : made) {
                    const std::int32_t r = rowWith(subset, candidates[c].event);
                    if (r < 0) {
                        admissible = false;
                        break;
                    }
                    gain += w_[static_cast<std::size_t>(r)];
                }
                if (!admissible) {
                    candidates[c] = candidates.back();
                    candidates.pop_back();
                    continue;
                }
                candidates[c].gain += gain;
                ++c;
            }
            events.push_back(added);
            subsets.insert(subsets.end(), made.begin(), made.end());
        }
    }

    void offer(std::int64_t value, std::vector<std::int32_t> events) {
        if (value <= floor_) {
            return;
        }
        std::sort(events.begin(), events.end());
        if (skip_ && skip_(events)) {
            return;
        }
        finds_.emplace(std::move(events), value);
    }

    const PositiveIntersections& rows_;
    std::span<const std::int64_t> w_;
    std::int64_t floor_;
    const std::function<bool(std::span<const std::int32_t>)>& skip_;
    std::vector<std::int32_t> key_;
    std::map<std::vector<std::int32_t>, std::int64_t> finds_;
};

std::vector<std::pair<std::int64_t, std::vector<std::int32_t>>> growOutcomes(
    const PositiveIntersections& rows, std::span<const std::int64_t> w, std::int64_t floor,
    std::int32_t most, const std::function<bool(std::span<const std::int32_t>)>& skip) {
    return Growth(rows, w, floor, skip).run(most);
}

}  // namespace

// --- the space ------------------------------------------------------------

EventSetSpace::EventSetSpace(std::int32_t n, std::int32_t m, std::span<const double> prob)
    : rows_(n, m, prob) {
    starts_.push_back(0);
    idOf({});  // the outcome without events is outcome 0
}

std::span<const std::int32_t> EventSetSpace::eventsOf(OutcomeId outcome) const {
    return {pool_.data() + starts_[outcome],
            static_cast<std::size_t>(starts_[outcome + 1] - starts_[outcome])};
}

OutcomeId EventSetSpace::idOf(std::span<const std::int32_t> events) {
    std::vector<OutcomeId>& sameHash = byHash_[hashOf(events)];
    for (OutcomeId known : sameHash) {
        const std::span<const std::int32_t> other = eventsOf(known);
        if (std::equal(other.begin(), other.end(), events.begin(), events.end())) {
            return known;
        }
    }
    const OutcomeId fresh = starts_.size() - 1;
    pool_.insert(pool_.end(), events.begin(), events.end());
    starts_.push_back(static_cast<std::int64_t>(pool_.size()));
    sameHash.push_back(fresh);
    return fresh;
}

std::vector<OutcomeId> EventSetSpace::firstOutcomes() {
    // Each positive intersection as an outcome, where it is admissible:
    // every node of the trie, with the events on the way to it.
    std::vector<OutcomeId> first;
    std::vector<std::int32_t> rowsOfOne;
    std::vector<std::pair<std::int32_t, std::vector<std::int32_t>>> stack{{0, {}}};
    while (!stack.empty()) {
        auto [row, events] = std::move(stack.back());
        stack.pop_back();
        if (rows_.rowsOf(events, rowsOfOne)) {
            first.push_back(idOf(events));
        }
        for (std::int32_t c : rows_.children(row)) {
            std::vector<std::int32_t> grown = events;
            grown.push_back(rows_.lastEvent(c));
            stack.emplace_back(c, std::move(grown));
        }
    }
    return first;
}

void EventSetSpace::rowsOf(OutcomeId outcome, std::vector<std::int32_t>& rows) const {
    rows_.rowsOf(eventsOf(outcome), rows);
}

namespace {

// The multipliers on the grid, and what the search maximises: for an
// outcome ω ≠ ∅ its violation is constant + Σ_{∅ ≠ S ⊆ ω} weights[S], for ∅
// it is `empty`. `sign` is −1 where the values must be at least the target
// (the violation is t − F), +1 where at most (F − t).
struct Objective {
    int places = 0;
    std::vector<double> proven;
    std::vector<std::int64_t> weights;
    std::int64_t constant = 0;
    std::int64_t empty = 0;
    double absoluteSum = 0.0;  // Σ |proven_S| over the rows but row 0, rounded up
};

Objective objectiveOf(std::span<const double> y, MultiplierSide side, double target) {
    Objective objective;
    objective.places = gridPlaces(y, target);
    objective.proven.resize(y.size());
    objective.weights.resize(y.size());
    const std::int64_t sign = side == MultiplierSide::atLeast ? -1 : 1;
    std::int64_t y0 = 0;
    for (std::size_t row = 0; row < y.size(); ++row) {
        const std::int64_t units = onGrid(y[row], objective.places, objective.proven[row]);
        if (row == 0) {
            y0 = units;
        } else {
            objective.weights[row] = sign * units;
            objective.absoluteSum = addUp(objective.absoluteSum, std::fabs(objective.proven[row]));
        }
    }
    const std::int64_t t = targetUnits(target, objective.places, side);
    objective.constant = sign * (y0 - t);
    objective.empty = sign * y0;
    return objective;
}

// The multiplier every intersection of probability 0 takes in a proof, so
// that every outcome containing one meets the target whatever the others
// give: at least target − y_0 + Σ|y_S| (at most, less, for atMost).
double absentMultiplier(const Objective& objective, MultiplierSide side, double target) {
    const double y0 = objective.proven[0];
    if (side == MultiplierSide::atLeast) {
        return std::max(0.0, addUp(addUp(target, -y0), objective.absoluteSum));
    }
    return std::min(0.0, addDown(addDown(target, -y0), -objective.absoluteSum));
}

// Multipliers that depend on the size of an intersection alone (those of
// the sharp bounds from S_1 … S_m) have the same value, Σ_j W_j·C(k, j), at
// every admissible outcome of k events: the largest over k bounds the value
// of every nonempty outcome, whatever n, where a search could not. Only
// sizes k whose C(k, j) subsets of each size j are all among the positive
// rows count, so every sum stays within the grid's 62 bits. None where the
// weights of some size differ.
std::optional<std::int64_t> sizeOnlyLargest(const PositiveIntersections& rows,
                                            const Objective& objective) {
    const std::int32_t m = rows.order();
    std::vector<std::optional<std::int64_t>> weight(static_cast<std::size_t>(m) + 1);
    std::vector<std::int64_t> count(static_cast<std::size_t>(m) + 1, 0);
    for (std::size_t row = 1; row < objective.weights.size(); ++row) {
        const auto j = static_cast<std::size_t>(rows.sizes()[row]);
        if (weight[j] && *weight[j] != objective.weights[row]) {
            return std::nullopt;
        }
        weight[j] = objective.weights[row];
        ++count[j];
    }
    std::optional<std::int64_t> largest;
    for (std::int64_t k = 1; k <= rows.events(); ++k) {
        std::int64_t value = 0;
        std::int64_t subsets = 1;  // C(k, j)
        for (std::int32_t j = 1; j <= m && j <= k; ++j) {
            subsets = subsets * (k - j + 1) / j;
            if (subsets > count[static_cast<std::size_t>(j)]) {
                return largest;  // no admissible outcome of k events or more
            }
            value += subsets * weight[static_cast<std::size_t>(j)].value_or(0);
        }
        largest = std::max(largest.value_or(value), value);
    }
    return largest;
}

// Weights w on every event, −w on the pairs of a forest and 0 elsewhere
// (Hunter's multipliers, w < 0 in the sign searched): an outcome of k events
// holds fewer than k pairs of the forest, so its value w·(k − pairs) is at
// most w, which a single event reaches. None for any other weights.
std::optional<std::int64_t> forestLargest(const PositiveIntersections& rows,
                                          const Objective& objective) {
    std::optional<std::int64_t> single;
    std::vector<std::int32_t> parent(static_cast<std::size_t>(rows.events()));
    std::iota(parent.begin(), parent.end(), 0);
    const auto root = [&parent](std::int32_t event) {
        while (parent[static_cast<std::size_t>(event)] != event) {
            event = parent[static_cast<std::size_t>(event)] =
                parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(event)])];
        }
        return event;
    };
    for (std::size_t row = 1; row < objective.weights.size(); ++row) {
        const std::int64_t w = objective.weights[row];
        const std::int32_t size = rows.sizes()[row];
        if (size == 1) {
            if ((single && *single != w) || w >= 0) {
                return std::nullopt;
            }
            single = w;
        }
    }
    if (!single) {
        return std::nullopt;
    }
    for (std::size_t row = 1; row < objective.weights.size(); ++row) {
        const std::int64_t w = objective.weights[row];
        if (rows.sizes()[row] == 1 || w == 0) {
            continue;
        }
        if (rows.sizes()[row] != 2 || w != -*single) {
            return std::nullopt;
        }
        const std::vector<std::int32_t> pair = rows.eventsOfRow(static_cast<std::int32_t>(row));
        const std::int32_t a = root(pair[0]);
        const std::int32_t b = root(pair[1]);
        if (a == b) {
            return std::nullopt;  // a cycle
        }
        parent[static_cast<std::size_t>(a)] = b;
    }
    return single;
}

}  // namespace

Pricing EventSetSpace::price(std::span<const double> duals, SharpestStage stage, std::int32_t most,
                             const std::function<bool(OutcomeId)>& inWorkingSet) {
    Pricing pricing;
    const bool checking = stage == SharpestStage::consistency;
    const bool upper = stage == SharpestStage::upper;
    // On the sides the proof's multipliers (the LP's duals negated for the
    // upper side) against the target 1; when checking the data, the values
    // Σ duals themselves, whose reduced costs are their negatives.
    std::vector<double> y(duals.begin(), duals.end());
    if (upper) {
        for (double& value : y) {
            value = -value;
        }
    }
    const MultiplierSide side = upper ? MultiplierSide::atLeast : MultiplierSide::atMost;
    const double target = checking ? 0.0 : 1.0;
    const Objective objective = objectiveOf(y, side, target);
    const auto tolerance =
        static_cast<std::int64_t>(std::ldexp(kPricingTolerance, objective.places));
    const auto skip = [&](std::span<const std::int32_t> events) {
        return inWorkingSet(idOf(events));
    };
    // The local search first; where it finds outcomes, a short search only
    // bounds the violation; else the full search looks further (and longer
    // each time it ends short-handed).
    const auto grown =
        growOutcomes(rows_, objective.weights, tolerance - objective.constant, most, skip);
    SearchResult found;
    if (!grown.empty()) {
        found = searchOutcomes(rows_, objective.weights, -objective.constant, 0, kBoundBudget, {},
                               deadline_);
        found.complete = false;
        found.best = grown;
    } else {
        found = searchOutcomes(rows_, objective.weights, tolerance - objective.constant, most,
                               pricingBudget, skip, deadline_);
    }
    const std::int64_t largest =
        std::max({std::int64_t{0}, objective.empty, objective.constant + found.largest});
    pricing.largestViolation = fromUnitsUp(largest, objective.places);
    pricing.complete = found.complete;
    for (const auto& entry : found.best) {
        pricing.violated.push_back(idOf(entry.second));
    }
    if (!found.complete && pricing.violated.empty()) {
        pricingBudget *= 2;
    }
    if (!checking) {
        ProofTerms terms;
        terms.proven = objective.proven;
        terms.data = std::span<const double>(rows_.targets()).subspan(1);
        terms.shift = fromUnitsUp(largest, objective.places);
        terms.absentRows = rows_.zeroCount();
        terms.absentMultiplier = absentMultiplier(objective, side, target);
        pricing.proof = finishProof(terms, side);
    }
    return pricing;
}

MultiplierProof EventSetSpace::prove(std::span<const double> y, MultiplierSide side, double target,
                                     double slack) {
    for (double value : y) {
        if (!std::isfinite(value)) {
            return {};
        }
    }
    const Objective objective = objectiveOf(y, side, target);
    SearchResult found;
    if (const std::optional<std::int64_t> bySize = sizeOnlyLargest(rows_, objective)) {
        found.largest = *bySize;
    } else if (const std::optional<std::int64_t> byForest = forestLargest(rows_, objective)) {
        found.largest = *byForest;
    } else {
        // Only outcomes of positive violation move y_0: the search floor.
        found = searchOutcomes(rows_, objective.weights, -objective.constant, 0, proofBudget, {},
                               deadline_);
    }
    const std::int64_t largest =
        std::max({std::int64_t{0}, objective.empty, objective.constant + found.largest});
    ProofTerms terms;
    terms.proven = objective.proven;
    terms.data = std::span<const double>(rows_.targets()).subspan(1);
    terms.shift = fromUnitsUp(largest, objective.places);
    terms.slack = slack;
    terms.absentRows = rows_.zeroCount();
    terms.absentMultiplier = absentMultiplier(objective, side, target);
    return finishProof(terms, side);
}

}  // namespace unionbound
