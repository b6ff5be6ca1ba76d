#include "input/consumer_thread.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace unionbound {
namespace {

// Keeps every block it is given, and throws at block `failAt` (from 0).
struct Recorder final : ProbabilityConsumer {
    explicit Recorder(std::size_t failing) : failAt(failing) {}
    void take(std::span<const double> block) override {
        if (blocks.size() == failAt) {
            throw std::runtime_error("consumer failed");
        }
        blocks.emplace_back(block.begin(), block.end());
    }
    std::size_t failAt;
    std::vector<RealVector> blocks;
};

// Blocks 0 … 199, block b holding b + 1 numbers b + 0.5.
std::vector<RealVector> numberedBlocks() {
    std::vector<RealVector> blocks;
    for (std::size_t b = 0; b < 200; ++b) {
        blocks.emplace_back(b + 1, static_cast<double>(b) + 0.5);
    }
    return blocks;
}

TEST(ConsumerThread, HandsOnEveryBlockWholeAndInOrderOrStopsAtAFailure) {
    const std::vector<RealVector> sent = numberedBlocks();
    const struct {
        std::size_t slots, failAt, received;
    } cases[] = {{1, SIZE_MAX, 200}, {2, SIZE_MAX, 200}, {4, SIZE_MAX, 200}, {2, 10, 10}};
    for (const auto& c : cases) {
        Recorder recorder(c.failAt);
        ThreadPool pool(2);
        ConsumerThread thread(recorder, pool, c.slots);
        for (const RealVector& block : sent) {
            thread.take(block);  // must not wait for a consumer that has stopped
        }
        if (c.received < sent.size()) {
            EXPECT_THROW(thread.finish(), std::runtime_error);
        } else {
            thread.finish();
        }
        EXPECT_EQ(recorder.blocks, std::vector<RealVector>(sent.begin(), sent.begin() + c.received))
            << c.slots << " slots, failing at " << c.failAt;
    }
}

}  // namespace
}  // namespace unionbound
