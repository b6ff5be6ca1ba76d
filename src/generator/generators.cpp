#include "generator/generators.hpp"

#include <algorithm>
#include <cerrno>
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

}  // namespace unionbound
