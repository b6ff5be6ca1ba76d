// Intersection probabilities from observed data: a 0/1 matrix with one row
// per observation and one column per event. Each probability is the share
// of the observations in which every event of its intersection occurs,
// computed as probgen --data computes it from a CSV file, to the last bit.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "unionbound/expected.hpp"
#include "unionbound/export.hpp"

namespace unionbound {

struct ObservedProbabilities {
    std::int64_t n = 0;  // the events: the columns of the matrix
    std::int64_t m = 0;  // the largest intersection asked for
    // C(n,1) + … + C(n,min(m,n)) frequencies in the subset order, the order
    // Problem::probabilities takes.
    std::vector<double> probabilities;
    std::int64_t observations = 0;
    std::int64_t observationsWithAnEvent = 0;
    // The empirical probability of the union: observationsWithAnEvent /
    // observations.
    double unionProbability = 0.0;
};

// `cells` holds the matrix row by row, `events` cells a row, each 0 or 1.
// Refused, in one line saying what and where: no events, no observations, a
// cell count that is no whole number of rows, a cell other than 0 or 1, an
// m below 1, and sizes whose probabilities a 32-bit integer cannot count.
UNIONBOUND_API Expected<ObservedProbabilities> probabilitiesFromObservations(
    std::int64_t events, std::int64_t m, std::span<const std::uint8_t> cells);

}  // namespace unionbound
