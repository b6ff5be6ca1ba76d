#include "unionbound/observations.hpp"

#include <algorithm>
#include <limits>
#include <string>

#include "generator/generators.hpp"
#include "moments/subsets.hpp"
#include "process/out_of_memory.hpp"
#include "text/parsed.hpp"

namespace unionbound {

namespace {

// The frequencies of the intersections of up to `order` events (m, or n
// where m is larger).
Expected<ObservedProbabilities> counted(std::int32_t events, std::int32_t order,
                                        std::span<const std::uint8_t> cells) {
    const auto width = static_cast<std::size_t>(events);
    ObservationCounter counter(events);
    std::vector<bool> row(width);
    for (std::size_t start = 0; start < cells.size(); start += width) {
        for (std::size_t e = 0; e < width; ++e) {
            const std::uint8_t cell = cells[start + e];
            if (cell > 1) {
                return refuse("observation " + std::to_string(start / width + 1) + ", event " +
                              std::to_string(e + 1) + ": " + std::to_string(cell) +
                              " is not 0 or 1");
            }
            row[e] = cell == 1;
        }
        counter.add(row);
    }
    const Observations data = counter.observations();
    ObservedProbabilities observed;
    observed.n = events;
    observed.probabilities = intersectionFrequencies(data, order);
    observed.observations = data.rows;
    observed.observationsWithAnEvent = data.rowsWithAnEvent;
    observed.unionProbability = unionFrequency(data);
    return observed;
}

}  // namespace

Expected<ObservedProbabilities> probabilitiesFromObservations(std::int64_t events, std::int64_t m,
                                                              std::span<const std::uint8_t> cells) {
    if (events < 1) {
        return refuse("the observations name no events: a row needs at least one column");
    }
    if (events > std::numeric_limits<std::int32_t>::max()) {
        return refuse(std::to_string(events) + " events are too many: at most " +
                      std::to_string(std::numeric_limits<std::int32_t>::max()) + " are counted");
    }
    if (m < 1) {
        return refuse("m=" + std::to_string(m) +
                      " is too small: the maximum order of the intersections must be at least 1");
    }
    const auto n = static_cast<std::int32_t>(events);
    const std::int32_t order = static_cast<std::int32_t>(std::min<std::int64_t>(m, n));
    if (intersectionCount(n, order) >= kCountTooLarge) {
        return refuse("n=" + std::to_string(n) + ", m=" + std::to_string(m) +
                      " need more intersection probabilities than a 32-bit integer can count");
    }
    if (cells.empty()) {
        return refuse("there are no observations (rows of 0 and 1)");
    }
    if (cells.size() % static_cast<std::size_t>(events) != 0) {
        return refuse(std::to_string(cells.size()) + " cells are no whole number of rows of " +
                      std::to_string(events) + " events");
    }
    try {
        Expected<ObservedProbabilities> observed =
            buildingFor("the intersection probabilities of " + std::to_string(n) + " events",
                        [&] { return counted(n, order, cells); });
        observed.value().m = m;
        return observed;
    } catch (const OutOfMemory& error) {
        return Error{ErrorKind::outOfMemory, error.what()};
    }
}

}  // namespace unionbound
