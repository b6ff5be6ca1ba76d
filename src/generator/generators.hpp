// The sources of valid intersection probabilities, each with the true (or
// empirical) probability of the union: independent events, observed 0/1
// data, a seeded random mixture of outcome vectors, seeded clustered events
// and seeded synthetic records. Every writer streams its probabilities in the
// subset order, so memory does not grow with the number of probabilities.
#pragma once

#include <bit>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "generator/probability_sink.hpp"
#include "generator/subset_walk.hpp"
#include "numeric/types.hpp"
#include "text/parsed.hpp"

namespace unionbound {

// --- independent events ---------------------------------------------------

// P(A) = Π_{a in A} p_a, multiplied left to right in increasing event order.
void writeIndependentProbabilities(const RealVector& p, std::int32_t m, ProbabilitySink& sink);
// 1 - Π (1 - p_a), formed in double-double so that small p lose nothing.
double independentUnionProbability(const RealVector& p);

// --- outcome tables: observed data and mixtures ---------------------------

// A finite joint distribution of n events: distinct outcome vectors (which
// events occur), each with a weight. The table is kept column-wise as bit
// sets over the outcomes, so that the outcomes containing a subset are the
// AND of its events' columns.
class OutcomeTable {
  public:
    explicit OutcomeTable(std::int32_t n) : n_(n) {}

    // Adds an outcome; `occurs[e]` for event e+1.
    void add(const std::vector<bool>& occurs, double weight);

    std::int32_t events() const { return n_; }
    std::size_t outcomes() const { return weights_.size(); }
    const RealVector& weights() const { return weights_; }

    // The sum of the weights of the outcomes in which some event occurs,
    // taken in the order the outcomes were added.
    double unionWeight() const;

    // For every subset in the subset order for (n, m), the sum of the
    // weights of the outcomes that contain it (in the order the outcomes were
    // added), divided by `divisor` (1 for a mixture, the number of
    // observations for counts).
    void writeIntersectionWeights(std::int32_t m, double divisor, ProbabilitySink& sink) const;
    // The same values, each handed to `emit(double)` in the subset order.
    template <typename Emit>
    void forEachIntersectionWeight(std::int32_t m, double divisor, Emit emit) const;

  private:
    std::size_t words() const { return (weights_.size() + 63) / 64; }
    std::int32_t n_;
    RealVector weights_;
    std::vector<std::vector<std::uint64_t>> columns_;  // columns_[e]: outcomes where e+1 occurs
    std::vector<bool> nonEmpty_;
};

// Observed 0/1 data: one row per observation, one column per event.
struct Observations {
    std::int32_t events = 0;
    std::int64_t rows = 0;
    std::int64_t rowsWithAnEvent = 0;
    OutcomeTable table{0};  // the distinct rows, weighted by how often they occur
};

// Gathers 0/1 rows, one observation each, into Observations: the distinct
// rows in the order they first appear, each weighted by how often it occurs.
class ObservationCounter {
  public:
    explicit ObservationCounter(std::int32_t events) : events_(events) {}
    // One observation; `row[e]` for event e+1, `events` entries.
    void add(const std::vector<bool>& row);
    std::int64_t rows() const { return rows_; }
    Observations observations() const;

  private:
    std::int32_t events_;
    std::int64_t rows_ = 0;
    std::int64_t rowsWithAnEvent_ = 0;
    std::unordered_map<std::vector<bool>, std::int64_t> counts_;
    std::vector<std::vector<bool>> order_;  // distinct rows in order of first appearance
};

// The frequency of every intersection of 1 … m of the observed events in the
// subset order (sizes above the number of events have none), as probgen
// --data writes them, and the frequency of their union.
RealVector intersectionFrequencies(const Observations& data, std::int32_t m);
double unionFrequency(const Observations& data);

// Reads comma-separated 0/1 rows. Fields may be padded with blanks; a
// header line (a first line that is not all 0 and 1) is skipped; empty lines
// are skipped. Refused with the line number: a row whose field count differs
// from the first row's (or the header's), a field that is neither 0 nor 1.
// No rows at all is refused too. `name` stands for the file in messages.
Parsed<Observations> parseObservations(std::string_view text, const std::string& name);
// `path` "-" reads standard input.
Parsed<Observations> readObservations(const std::string& path);

// --- seeded random mixtures -----------------------------------------------

// splitmix64: a small, fixed generator, so that a seed gives the same
// mixture on every machine.
class SplitMix64 {
  public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    // A uniform double in [0, 1) from the top 53 bits.
    double uniform();

  private:
    std::uint64_t state_;
};

struct MixtureSettings {
    std::int32_t n = 0;
    std::uint64_t seed = 0;
    std::int32_t outcomes = 20;  // outcome vectors besides the one without events
    double density = 0.5;        // the largest share of events occurring in one outcome
};

// An outcome without events, of weight p0 = 0.1 + 0.5·u, then `outcomes`
// outcome vectors sharing 1 - p0 in random proportions; outcome k lets each
// event occur with probability density·u_k.
OutcomeTable randomMixture(const MixtureSettings& settings);

// --- seeded clustered events ----------------------------------------------

struct ClusteredSettings {
    std::int32_t n = 0;
    std::uint64_t seed = 0;
    std::int32_t groupSize = 4;  // the last group holds what is left
};

// Events in groups of consecutive events (group g: events g·G+1 … (g+1)·G).
// Group g has a hidden switch Z_g, on with probability `switchOn[g]`,
// independent across groups; given the switch, the events of the group occur
// independently, event e+1 with probability `high[e]` when it is on and
// `low[e]` when it is off.
struct ClusteredEvents {
    std::int32_t groupSize = 1;
    RealVector switchOn;  // q_g, one per group
    RealVector high;      // a_e, one per event
    RealVector low;       // b_e, one per event
    std::int32_t events() const { return static_cast<std::int32_t>(high.size()); }
};

// Draws, group by group, q_g uniform in [0.02, 0.2], then for each event of
// the group a_e uniform in [0.5, 0.9] and b_e uniform in [0.002, 0.02].
ClusteredEvents randomClusteredEvents(const ClusteredSettings& settings);

// P(∩_{e in A} A_e) = Π_g [b_g + q_g (a_g − b_g)] over the groups A meets,
// a_g and b_g the products of a_e and b_e over A ∩ g, in the subset order.
// Every intersection is positive.
void writeClusteredProbabilities(const ClusteredEvents& events, std::int32_t m,
                                 ProbabilitySink& sink);
// 1 − Π_g [q_g Π_{e in g} (1 − a_e) + (1 − q_g) Π_{e in g} (1 − b_e)], formed
// in double-double.
double clusteredUnionProbability(const ClusteredEvents& events);

// --- seeded synthetic records ---------------------------------------------

struct RecordSettings {
    std::int32_t n = 0;
    std::uint64_t seed = 0;
    std::int64_t items = 50000;
};

// Hands `record` one 0/1 row of n events per item, `items` rows, drawn in the
// manner of co-occurrence data (the tags of items): see generators.cpp.
void drawRecords(const RecordSettings& settings,
                 const std::function<void(const std::vector<bool>&)>& record);
// The rows of drawRecords, tallied as the rows of observed data are.
Observations randomRecords(const RecordSettings& settings);

template <typename Emit>
void OutcomeTable::forEachIntersectionWeight(std::int32_t m, double divisor, Emit emit) const {
    using Bits = std::vector<std::uint64_t>;
    const std::size_t wordCount = words();
    const Bits all(wordCount, ~std::uint64_t{0});
    walkSubsetsWithPrefix(
        n_, m, all,
        [this, wordCount](const Bits& prefix, std::int32_t event, Bits& into) {
            const Bits& column = columns_[event - 1];
            for (std::size_t w = 0; w < wordCount; ++w) {
                into[w] = prefix[w] & column[w];
            }
        },
        [this, wordCount, divisor, &emit](const Bits& containing) {
            double sum = 0.0;
            for (std::size_t w = 0; w < wordCount; ++w) {
                for (std::uint64_t bits = containing[w]; bits != 0; bits &= bits - 1) {
                    sum += weights_[w * 64 + static_cast<std::size_t>(std::countr_zero(bits))];
                }
            }
            emit(sum / divisor);
        });
}

}  // namespace unionbound
