#include "app/probability_reading.hpp"

#include <algorithm>
#include <optional>

#include "app/consumer_thread.hpp"
#include "app/process_time.hpp"
#include "classical/binomial_sums.hpp"
#include "moments/probability_consumer.hpp"
#include "moments/subsets.hpp"

namespace unionbound {

namespace {

// The moment walk, timed in the thread that runs it.
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

Parsed<ReadingResult> readProbabilities(std::int32_t n, std::int32_t m, const std::string& path,
                                        const ReadingRequest& request,
                                        const ReadProgress& progress) {
    ProbabilityFanOut everything;
    TimedWalk walk(n, m, request.passes);
    everything.add(walk);
    std::optional<BinomialSumsAccumulator> sums;
    if (request.sums) {
        everything.add(sums.emplace(n, m));
    }
    std::optional<KeptProbabilities> leading;
    if (request.singlesAndPairs) {
        everything.add(leading.emplace(intersectionCount(n, std::min(m, 2))));
    }
    std::optional<KeptProbabilities> all;
    if (request.everyProbability) {
        everything.add(all.emplace(intersectionCount(n, m)));
    }

    std::string refusal;
    if (request.threads >= 2) {
        ConsumerThread summing(everything);
        refusal = streamIntersectionProbabilities(n, m, path, summing, progress);
        if (refusal.empty()) {
            summing.finish();  // a refused file's blocks are dropped with the thread
        }
    } else {
        refusal = streamIntersectionProbabilities(n, m, path, everything, progress);
    }
    if (!refusal.empty()) {
        return refuse(refusal);
    }
    ReadingResult result;
    result.passMoments = walk.walk().finish();
    result.walkMicroseconds = walk.microseconds();
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
