#include "generator/generators.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "moments/subsets.hpp"
#include "numeric/double_double.hpp"
#include "text/shown_word.hpp"

namespace unionbound {

void writeIndependentProbabilities(const RealVector& p, std::int32_t m, ProbabilitySink& sink) {
    walkSubsetsWithPrefix(
        static_cast<std::int32_t>(p.size()), m, 1.0,
        [&p](double prefix, std::int32_t event, double& into) { into = prefix * p[event - 1]; },
        [&sink](double product) { sink.write(product); });
}

double independentUnionProbability(const RealVector& p) {
    DoubleDouble none(1.0);
    for (double pa : p) {
        none = none * twoSum(1.0, -pa);
    }
    return (DoubleDouble(1.0) - none).toDouble();
}

void OutcomeTable::add(const std::vector<bool>& occurs, double weight) {
    const std::size_t k = weights_.size();
    weights_.push_back(weight);
    columns_.resize(n_);
    bool any = false;
    for (std::int32_t e = 0; e < n_; ++e) {
        columns_[e].resize(words(), 0);
        if (occurs[e]) {
            columns_[e][k / 64] |= std::uint64_t{1} << (k % 64);
            any = true;
        }
    }
    nonEmpty_.push_back(any);
}

double OutcomeTable::unionWeight() const {
    double sum = 0.0;
    for (std::size_t k = 0; k < weights_.size(); ++k) {
        sum += nonEmpty_[k] ? weights_[k] : 0.0;
    }
    return sum;
}

void OutcomeTable::writeIntersectionWeights(std::int32_t m, double divisor,
                                            ProbabilitySink& sink) const {
    forEachIntersectionWeight(m, divisor, [&sink](double weight) { sink.write(weight); });
}

void ObservationCounter::add(const std::vector<bool>& row) {
    if (counts_[row]++ == 0) {
        order_.push_back(row);
    }
    ++rows_;
    rowsWithAnEvent_ += std::find(row.begin(), row.end(), true) != row.end() ? 1 : 0;
}

Observations ObservationCounter::observations() const {
    Observations data;
    data.events = events_;
    data.rows = rows_;
    data.rowsWithAnEvent = rowsWithAnEvent_;
    data.table = OutcomeTable(events_);
    for (const std::vector<bool>& row : order_) {
        data.table.add(row, static_cast<double>(counts_.at(row)));
    }
    return data;
}

RealVector intersectionFrequencies(const Observations& data, std::int32_t m) {
    RealVector frequencies;
    frequencies.reserve(
        static_cast<std::size_t>(intersectionCount(data.events, std::min(m, data.events))));
    data.table.forEachIntersectionWeight(m, static_cast<double>(data.rows),
                                         [&frequencies](double f) { frequencies.push_back(f); });
    return frequencies;
}

double unionFrequency(const Observations& data) {
    return static_cast<double>(data.rowsWithAnEvent) / static_cast<double>(data.rows);
}

namespace {

std::string trimmed(std::string_view field) {
    std::size_t first = 0, last = field.size();
    while (first < last && (field[first] == ' ' || field[first] == '\t')) {
        ++first;
    }
    while (last > first &&
           (field[last - 1] == ' ' || field[last - 1] == '\t' || field[last - 1] == '\r')) {
        --last;
    }
    return std::string(field.substr(first, last - first));
}

std::vector<std::string> splitFields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(trimmed(line.substr(start, comma - start)));
        if (comma == std::string_view::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

}  // namespace

Parsed<Observations> parseObservations(std::string_view text, const std::string& name) {
    std::int32_t events = 0;
    ObservationCounter counter(0);
    std::int64_t lineNumber = 0;
    bool sawFirstLine = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (trimmed(line).empty()) {
            continue;
        }
        const std::vector<std::string> fields = splitFields(line);
        const bool allBits = std::all_of(fields.begin(), fields.end(),
                                         [](const std::string& f) { return f == "0" || f == "1"; });
        if (!sawFirstLine) {
            sawFirstLine = true;
            events = static_cast<std::int32_t>(fields.size());
            counter = ObservationCounter(events);
            if (!allBits) {
                continue;  // a header: it names the events
            }
        }
        const std::string where = "\"" + name + "\", line " + std::to_string(lineNumber);
        if (static_cast<std::int32_t>(fields.size()) != events) {
            return refuse(where + ": expected " + std::to_string(events) +
                          " comma-separated fields (one per event), found " +
                          std::to_string(fields.size()));
        }
        std::vector<bool> row(fields.size());
        for (std::size_t f = 0; f < fields.size(); ++f) {
            if (fields[f] != "0" && fields[f] != "1") {
                // The first 40 characters only, without a mark for the rest.
                return refuse(where + ", field " + std::to_string(f + 1) + ": \"" +
                              shownWord(std::string_view(fields[f]).substr(0, 40)) +
                              "\" is not 0 or 1");
            }
            row[f] = fields[f] == "1";
        }
        counter.add(row);
    }
    if (counter.rows() == 0) {
        return refuse("\"" + name + "\" holds no observations (rows of 0 and 1)");
    }
    return counter.observations();
}

Parsed<Observations> readObservations(const std::string& path) {
    if (path == "-") {
        std::ostringstream text;
        text << std::cin.rdbuf();
        if (std::cin.bad()) {
            return refuse("cannot read standard input");
        }
        return parseObservations(text.str(), "standard input");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return refuse("cannot open \"" + path + "\": " + std::strerror(errno));
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        return refuse("cannot read \"" + path + "\"");
    }
    return parseObservations(text.str(), path);
}

std::uint64_t SplitMix64::next() {
    state_ += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double SplitMix64::uniform() {
    return static_cast<double>(next() >> 11) * 0x1p-53;
}

OutcomeTable randomMixture(const MixtureSettings& settings) {
    SplitMix64 random(settings.seed);
    OutcomeTable table(settings.n);
    const double p0 = 0.1 + 0.5 * random.uniform();
    RealVector shares(settings.outcomes);
    double total = 0.0;
    for (double& share : shares) {
        share = 0.05 + random.uniform();
        total += share;
    }
    table.add(std::vector<bool>(settings.n, false), p0);
    for (std::int32_t k = 0; k < settings.outcomes; ++k) {
        const double density = settings.density * random.uniform();
        std::vector<bool> occurs(settings.n);
        for (std::int32_t e = 0; e < settings.n; ++e) {
            occurs[e] = random.uniform() < density;
        }
        table.add(occurs, (1.0 - p0) * (shares[k] / total));
    }
    return table;
}

// --- seeded clustered events ----------------------------------------------

ClusteredEvents randomClusteredEvents(const ClusteredSettings& settings) {
    SplitMix64 random(settings.seed);
    ClusteredEvents events;
    events.groupSize = settings.groupSize;
    const auto n = static_cast<std::size_t>(settings.n);
    const auto size = static_cast<std::size_t>(settings.groupSize);
    events.high.resize(n);
    events.low.resize(n);
    for (std::size_t first = 0; first < n; first += size) {
        events.switchOn.push_back(0.02 + 0.18 * random.uniform());
        for (std::size_t e = first; e < n && e < first + size; ++e) {
            events.high[e] = 0.5 + 0.4 * random.uniform();
            events.low[e] = 0.002 + 0.018 * random.uniform();
        }
    }
    return events;
}

namespace {

// A subset's prefix: the product over the groups it has left behind, and the
// products of a_e and of b_e over its events in the group it is in.
struct ClusteredPrefix {
    double closed = 1.0;
    std::int32_t group = -1;  // none yet
    double high = 1.0;
    double low = 1.0;
};

// b + q (a − b): q·a + (1 − q)·b without rounding 1 − q.
double switchedProduct(double q, double high, double low) {
    return low + q * (high - low);
}

}  // namespace

void writeClusteredProbabilities(const ClusteredEvents& events, std::int32_t m,
                                 ProbabilitySink& sink) {
    walkSubsetsWithPrefix(
        events.events(), m, ClusteredPrefix{},
        [&events](const ClusteredPrefix& prefix, std::int32_t event, ClusteredPrefix& into) {
            const double a = events.high[event - 1];
            const double b = events.low[event - 1];
            const std::int32_t group = (event - 1) / events.groupSize;
            if (group == prefix.group) {
                into = {prefix.closed, group, prefix.high * a, prefix.low * b};
                return;
            }
            const double closed =
                prefix.group < 0 ? prefix.closed
                                 : prefix.closed * switchedProduct(events.switchOn[prefix.group],
                                                                   prefix.high, prefix.low);
            into = {closed, group, a, b};
        },
        [&events, &sink](const ClusteredPrefix& prefix) {
            sink.write(prefix.closed *
                       switchedProduct(events.switchOn[prefix.group], prefix.high, prefix.low));
        });
}

double clusteredUnionProbability(const ClusteredEvents& events) {
    const auto n = static_cast<std::size_t>(events.events());
    const auto size = static_cast<std::size_t>(events.groupSize);
    DoubleDouble none(1.0);
    for (std::size_t g = 0; g < events.switchOn.size(); ++g) {
        DoubleDouble noneIfOn(1.0), noneIfOff(1.0);
        for (std::size_t e = g * size; e < n && e < (g + 1) * size; ++e) {
            noneIfOn = noneIfOn * twoSum(1.0, -events.high[e]);
            noneIfOff = noneIfOff * twoSum(1.0, -events.low[e]);
        }
        const double q = events.switchOn[g];
        none = none * (DoubleDouble(q) * noneIfOn + twoSum(1.0, -q) * noneIfOff);
    }
    return (DoubleDouble(1.0) - none).toDouble();
}

// --- seeded synthetic records ---------------------------------------------

namespace {

// An index in [0, count), count >= 1.
std::size_t drawBelow(SplitMix64& random, std::size_t count) {
    const auto index = static_cast<std::size_t>(random.uniform() * static_cast<double>(count));
    return std::min(index, count - 1);
}

// An index drawn with the weights whose running sums are `cumulative` (the
// last one positive); an index of weight 0 is never drawn.
std::size_t drawWeighted(SplitMix64& random, const RealVector& cumulative) {
    const double x = random.uniform() * cumulative.back();
    const auto found = std::upper_bound(cumulative.begin(), cumulative.end(), x);
    return std::min(static_cast<std::size_t>(found - cumulative.begin()), cumulative.size() - 1);
}

// The model's constants. With the default 50000 items and m = 3 they give
// about 2,500 positive intersections of 10,700 for n = 40 (2,271–2,918 for
// the seeds 1 to 6) and about 12,500 of 36,050 for n = 60 (11,398–13,038);
// with m = 2, n = 100 gives about 3,300 of 5,050. About 70% of the items hold
// an event.
constexpr std::size_t kTopics = 6;
constexpr double kNoItemEvents = 0.3;  // the chance that an item holds no event
constexpr double kSecondTopic = 0.2;   // the chance that an item has two topics
constexpr double kOffTopic = 0.05;     // the chance that a draw ignores the topics
constexpr std::size_t kDrawsPerEvent = 20;

}  // namespace

// Event popularity is Zipf-like: the events take the ranks 1 … n in a random
// order and event e has the weight rank_e^(-3/2). Each event belongs to one
// of six topics, drawn uniformly; a topic is chosen with the sum of its
// events' weights. An item holds no event with probability 0.3; else it holds
// 1 + G events, G geometric with mean μ − 1, μ = n/26 within [1.5, 2.5] (the
// more events, the more of them an item holds, as when the events are the
// most common tags of a larger vocabulary). The item takes one topic, or two
// with probability 0.2, and draws its events one at a time, by weight: from
// all events with probability 0.05, else from one of its topics (each as
// likely), a repeat drawn again, giving up after 20 draws per event. Rare
// events of different topics thus seldom or never occur together. Only
// + − × ÷ and square roots are used, so the rows are the same on every
// machine.
void drawRecords(const RecordSettings& settings,
                 const std::function<void(const std::vector<bool>&)>& record) {
    SplitMix64 random(settings.seed);
    const auto n = static_cast<std::size_t>(settings.n);
    std::vector<std::size_t> rank(n);
    for (std::size_t e = 0; e < n; ++e) {
        rank[e] = e + 1;
    }
    for (std::size_t e = n; e > 1; --e) {
        std::swap(rank[e - 1], rank[drawBelow(random, e)]);
    }
    RealVector cumulative(n);
    std::vector<std::vector<std::size_t>> topicEvents(kTopics);
    std::vector<RealVector> topicCumulative(kTopics);
    double sum = 0.0;
    for (std::size_t e = 0; e < n; ++e) {
        const auto r = static_cast<double>(rank[e]);
        const double weight = 1.0 / (r * std::sqrt(r));
        sum += weight;
        cumulative[e] = sum;
        const std::size_t topic = drawBelow(random, kTopics);
        const double before = topicEvents[topic].empty() ? 0.0 : topicCumulative[topic].back();
        topicEvents[topic].push_back(e);
        topicCumulative[topic].push_back(before + weight);
    }
    RealVector topicWeights;
    double topicSum = 0.0;
    for (const RealVector& weights : topicCumulative) {
        topicSum += weights.empty() ? 0.0 : weights.back();
        topicWeights.push_back(topicSum);
    }
    const double mean = std::clamp(static_cast<double>(n) / 26.0, 1.5, 2.5);
    const double another = 1.0 - 1.0 / mean;

    std::vector<bool> row(n);
    std::vector<std::size_t> held;
    for (std::int64_t item = 0; item < settings.items; ++item) {
        for (std::size_t e : held) {
            row[e] = false;
        }
        held.clear();
        if (random.uniform() >= kNoItemEvents) {
            std::size_t count = 1;
            while (count < n && random.uniform() < another) {
                ++count;
            }
            const std::size_t topics[2] = {
                drawWeighted(random, topicWeights),
                random.uniform() < kSecondTopic ? drawWeighted(random, topicWeights) : kTopics};
            for (std::size_t draw = 0; held.size() < count && draw < kDrawsPerEvent * count;
                 ++draw) {
                std::size_t event = 0;
                if (random.uniform() < kOffTopic) {
                    event = drawWeighted(random, cumulative);
                } else {
                    const std::size_t topic =
                        topics[1] != kTopics && random.uniform() < 0.5 ? topics[1] : topics[0];
                    event = topicEvents[topic][drawWeighted(random, topicCumulative[topic])];
                }
                if (!row[event]) {
                    row[event] = true;
                    held.push_back(event);
                }
            }
        }
        record(row);
    }
}

Observations randomRecords(const RecordSettings& settings) {
    ObservationCounter counter(settings.n);
    drawRecords(settings, [&counter](const std::vector<bool>& row) { counter.add(row); });
    return counter.observations();
}

}  // namespace unionbound
