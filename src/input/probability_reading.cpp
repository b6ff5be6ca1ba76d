#include "input/probability_reading.hpp"

#include <algorithm>
#include <optional>

#include "input/consumer_thread.hpp"
#include "moments/binomial_sums.hpp"
#include "moments/probability_consumer.hpp"
#include "moments/subsets.hpp"
#include "threads/clocks.hpp"

namespace unionbound {

namespace {

// The moment walk of some of the passes, timed in the thread that runs it.
class TimedWalk final : public ProbabilityConsumer {
  public:
    TimedWalk(std::int32_t n, std::int32_t m, const std::vector<PassDivision>& passes)
        : walk_(n, m, passes) {}
    void take(std::span<const double> block) override {
        const std::int64_t start = threadMicroseconds();
        walk_.take(block);
        microseconds_ += threadMicroseconds() - start;
    }
    PassMomentWalk& walk() { return walk_; }
    std::int64_t microseconds() const { return microseconds_; }

  private:
    PassMomentWalk walk_;
    std::int64_t microseconds_ = 0;
};

}  // namespace

// The costs are rough nanoseconds of this kind of machine; they balance the
// work and change no result, since every pass is walked whole by one thread.
std::vector<bool> passesOfTheReader(std::int32_t n, std::int32_t m,
                                    const std::vector<PassDivision>& passes) {
    constexpr double kPerNumber = 18.0;  // reading and checking one number
    constexpr double kPerTerm = 0.3;     // adding one term to a moment
    constexpr double kPerRow = 5.0;      // finding where a row meets one pass
    double rows = 0.0;
    for (std::int32_t s = 1; s <= std::min(m, n); ++s) {
        rows += static_cast<double>(subsetCount(n, s - 1));
    }
    std::vector<double> cost(passes.size());
    double walk = 0.0;
    for (std::size_t i = 0; i < passes.size(); ++i) {
        cost[i] = kPerTerm * static_cast<double>(passTerms(n, m, passes[i])) + kPerRow * rows;
        walk += cost[i];
    }
    const double reading = kPerNumber * static_cast<double>(intersectionCount(n, m));
    // The reader's share of the walk, so that reading + share = walk - share.
    const double target = (walk - reading) / 2.0;
    std::vector<std::size_t> order(passes.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return cost[a] > cost[b]; });
    std::vector<bool> mine(passes.size(), false);
    double share = 0.0;
    for (std::size_t i : order) {
        if (share + cost[i] <= target) {
            mine[i] = true;
            share += cost[i];
        }
    }
    return mine;
}

namespace {

// The passes of `passes` whose entry of `chosen` is `which`.
std::vector<PassDivision> passesWhere(const std::vector<PassDivision>& passes,
                                      const std::vector<bool>& chosen, bool which) {
    std::vector<PassDivision> some;
    for (std::size_t i = 0; i < passes.size(); ++i) {
        if (chosen[i] == which) {
            some.push_back(passes[i]);
        }
    }
    return some;
}

}  // namespace

Parsed<ReadingResult> readProbabilities(std::int32_t n, std::int32_t m, const TextSource& source,
                                        const ReadingRequest& request,
                                        const ReadProgress& progress) {
    return readProbabilities(n, m, request, [&](ProbabilityConsumer& consumer) {
        return streamIntersectionProbabilities(n, m, source, consumer, progress);
    });
}

Parsed<ReadingResult> readProbabilities(std::int32_t n, std::int32_t m, const RealVector& values,
                                        const ReadingRequest& request) {
    return readProbabilities(n, m, request,
                             [&](ProbabilityConsumer& consumer) -> Expected<TrailingWords> {
                                 if (Expected<void> given =
                                         streamGivenProbabilities(n, m, values, consumer);
                                     !given.ok()) {
                                     return given.error();
                                 }
                                 return TrailingWords{};
                             });
}

Parsed<ReadingResult> readProbabilities(std::int32_t n, std::int32_t m,
                                        const ReadingRequest& request,
                                        const ProbabilitySource& source) {
    const bool twoThreads = request.pool != nullptr && request.pool->helpers() >= 1;
    const std::vector<bool> byReader = twoThreads ? passesOfTheReader(n, m, request.passes)
                                                  : std::vector<bool>(request.passes.size(), false);
    // The summing thread's part (or everything, in one thread).
    ProbabilityFanOut summed;
    TimedWalk walk(n, m, passesWhere(request.passes, byReader, false));
    summed.add(walk);
    std::optional<BinomialSumsAccumulator> sums;
    if (request.sums) {
        summed.add(sums.emplace(n, m));
    }
    std::optional<KeptProbabilities> leading;
    if (request.singlesAndPairs) {
        summed.add(leading.emplace(intersectionCount(n, std::min(m, 2))));
    }
    std::optional<KeptProbabilities> all;
    if (request.everyProbability) {
        summed.add(all.emplace(intersectionCount(n, m)));
    }
    std::optional<TimedWalk> readersWalk;
    if (std::find(byReader.begin(), byReader.end(), true) != byReader.end()) {
        readersWalk.emplace(n, m, passesWhere(request.passes, byReader, true));
    }

    Expected<TrailingWords> streamed = TrailingWords{};
    if (twoThreads) {
        ConsumerThread summing(summed, *request.pool);
        // The block goes to the other thread first, so both work on it at once.
        ProbabilityFanOut both;
        both.add(summing);
        if (readersWalk) {
            both.add(*readersWalk);
        }
        streamed = source(both);
        if (streamed.ok()) {
            summing.finish();  // a refused file's blocks are dropped with the thread
        }
    } else {
        streamed = source(summed);
    }
    if (!streamed.ok()) {
        return streamed.error();
    }
    ReadingResult result;
    result.trailingWords = streamed.value().count;
    std::vector<PassMoments> fromSummer = walk.walk().finish();
    std::vector<PassMoments> fromReader =
        readersWalk ? readersWalk->walk().finish() : std::vector<PassMoments>();
    std::size_t nextOfSummer = 0, nextOfReader = 0;
    for (std::size_t i = 0; i < request.passes.size(); ++i) {
        result.passMoments.push_back(
            std::move(byReader[i] ? fromReader[nextOfReader++] : fromSummer[nextOfSummer++]));
    }
    result.walkMicroseconds = walk.microseconds() + (readersWalk ? readersWalk->microseconds() : 0);
    if (sums) {
        result.sums = sums->sums();
    }
    if (leading) {
        result.singlesAndPairs = leading->release();
    }
    if (all) {
        result.probabilities = all->release();
    }
    return result;
}

}  // namespace unionbound
