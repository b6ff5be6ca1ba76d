// The outcomes of the full-data LP as sets of events, for any number of
// events: no lattice, no 2^n of anything. An outcome can have probability
// only if every intersection of at most m of its events has positive
// probability (it is "admissible"); the LP has a row only for each positive
// intersection, and columns only for admissible outcomes. The positive
// intersections form a trie (an intersection S is a child of S minus its
// last event), through which the rows of an outcome, and the search for
// the most violated outcomes, find their way.
//
// Pricing is a branch and bound over the events in increasing order: a node
// is an admissible set T of events, its children add one event beyond the
// last that keeps the set admissible, and the value of an outcome is the sum
// of the multipliers of its intersections (on the grid of certificate.hpp,
// in whole numbers, exactly). What any extension of T can still add is
// bounded by assigning each open intersection to its first open event, and
// counting an intersection with events beyond that one only by its positive
// part. A search cut short by its budget still bounds the largest violation
// by the largest of these bounds over the nodes left open, so every pricing
// proves what its duals give.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "numeric/types.hpp"
#include "sharpest/outcome_space.hpp"

namespace unionbound {

// The positive intersections of 1 … m of n events, as a trie.
class PositiveIntersections {
  public:
    // `prob` in the subset order for (n, m).
    PositiveIntersections(std::int32_t n, std::int32_t m, std::span<const double> prob);

    std::int32_t events() const { return n_; }
    std::int32_t order() const { return m_; }
    // Row 0, the total probability, and one per positive intersection, in
    // the subset order.
    std::int32_t rowCount() const { return static_cast<std::int32_t>(targets_.size()); }
    const std::vector<double>& targets() const { return targets_; }
    const std::vector<std::int32_t>& sizes() const { return sizes_; }
    // The intersections of probability 0 (C(n,1) + … + C(n,m) less the positive ones).
    double zeroCount() const { return zeroCount_; }

    // The row of S ∪ {event}, for the row of S and an event beyond every
    // event of S; −1 where that intersection is not positive (or has more
    // than m events).
    std::int32_t child(std::int32_t row, std::int32_t event) const;
    // The children of a row: the rows of S ∪ {e}, e beyond S's last event.
    std::span<const std::int32_t> children(std::int32_t row) const;
    std::int32_t lastEvent(std::int32_t row) const {
        return lastEvent_[static_cast<std::size_t>(row)];
    }
    // The events of a row's intersection, increasing.
    std::vector<std::int32_t> eventsOfRow(std::int32_t row) const;

    // The row of the intersection of `events` (increasing), or −1 where it
    // is not positive.
    std::int32_t rowOf(std::span<const std::int32_t> events) const;
    // The rows of every intersection of at most m events of `events`
    // (increasing), row 0 first; false, with `rows` incomplete, where one of
    // them is not positive (the outcome is not admissible).
    bool rowsOf(std::span<const std::int32_t> events, std::vector<std::int32_t>& rows) const;

  private:
    std::int32_t n_;
    std::int32_t m_;
    std::vector<double> targets_;
    std::vector<std::int32_t> sizes_;
    std::vector<std::int32_t> lastEvent_;
    std::vector<std::int32_t> parent_;  // the row of the intersection less its last event
    // The children of row r are childRows_[childStart_[r] … childStart_[r+1]),
    // in increasing order of their last event.
    std::vector<std::int64_t> childStart_;
    std::vector<std::int32_t> childRows_;
    double zeroCount_ = 0.0;
};

class EventSetSpace final : public OutcomeSpace {
  public:
    EventSetSpace(std::int32_t n, std::int32_t m, std::span<const double> prob);

    const std::vector<double>& targets() const override { return rows_.targets(); }
    const std::vector<std::int32_t>& rowSizes() const override { return rows_.sizes(); }
    std::vector<std::int32_t> eventsOfRow(std::int32_t row) const override {
        return rows_.eventsOfRow(row);
    }
    std::vector<OutcomeId> firstOutcomes() override;
    void rowsOf(OutcomeId outcome, std::vector<std::int32_t>& rows) const override;
    bool isEmpty(OutcomeId outcome) const override { return outcome == 0; }
    Pricing price(std::span<const double> duals, SharpestStage stage, std::int32_t most,
                  const std::function<bool(OutcomeId)>& inWorkingSet) override;
    MultiplierProof prove(std::span<const double> y, MultiplierSide side, double target,
                          double slack) override;
    bool admitEveryOutcome() override { return false; }

    // The events of an outcome, increasing.
    std::span<const std::int32_t> eventsOf(OutcomeId outcome) const;
    // The outcome of these events (increasing), registered if new.
    OutcomeId idOf(std::span<const std::int32_t> events);
    const PositiveIntersections& intersections() const { return rows_; }

    // Nodes a pricing may visit before it stops; it doubles after a pricing
    // cut short that found nothing to add.
    std::int64_t pricingBudget = std::int64_t{1} << 20;
    // Nodes a proof may visit.
    std::int64_t proofBudget = std::int64_t{1} << 20;

  private:
    PositiveIntersections rows_;
    std::vector<std::int32_t> pool_;    // the events of every outcome registered
    std::vector<std::int64_t> starts_;  // outcome k's events: pool_[starts_[k] … starts_[k+1])
    std::unordered_map<std::uint64_t, std::vector<OutcomeId>> byHash_;
};

// The largest value of Σ_{∅ ≠ S ⊆ ω} weights[row of S] over the nonempty
// admissible outcomes ω, by the branch and bound above, and up to `most`
// outcomes whose value exceeds `floor`, largest first. Where the search
// stops at `budget` nodes, `largest` bounds the value of every outcome from
// above (and `complete` is false), as where it stops at `deadline`; else it
// is the largest value, or at most `floor` where no outcome exceeds it.
struct SearchResult {
    std::int64_t largest = 0;
    bool complete = true;
    std::vector<std::pair<std::int64_t, std::vector<std::int32_t>>> best;
};
// `skip` (may be empty) names outcomes not to collect.
SearchResult searchOutcomes(const PositiveIntersections& rows,
                            std::span<const std::int64_t> weights, std::int64_t floor,
                            std::int32_t most, std::int64_t budget,
                            const std::function<bool(std::span<const std::int32_t>)>& skip,
                            std::optional<std::chrono::steady_clock::time_point> deadline = {});

}  // namespace unionbound
