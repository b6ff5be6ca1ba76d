#include "app/consumer_thread.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace unionbound {
namespace {

// Keeps every block it is given, and throws at block `failAt` (from 0).
class Recorder final : public ProbabilityConsumer {
  public:
    explicit Recorder(std::size_t failAt = SIZE_MAX) : failAt_(failAt) {}
    void take(std::span<const double> block) override {
        if (blocks.size() == failAt_) {
            throw std::runtime_error("consumer failed");
        }
        blocks.emplace_back(block.begin(), block.end());
    }
    std::vector<RealVector> blocks;

  private:
    std::size_t failAt_;
};

// Blocks 0 … count - 1, block b holding b + 1 numbers b + 0.5.
std::vector<RealVector> numberedBlocks(std::size_t count) {
    std::vector<RealVector> blocks;
    for (std::size_t b = 0; b < count; ++b) {
        blocks.emplace_back(b + 1, static_cast<double>(b) + 0.5);
    }
    return blocks;
}

TEST(ConsumerThread, HandsOnEveryBlockWholeAndInOrderWhateverTheSlots) {
    const std::vector<RealVector> sent = numberedBlocks(300);
    for (const std::size_t slots : {1, 2, 4}) {
        Recorder recorder;
        ConsumerThread thread(recorder, slots);
        for (const RealVector& block : sent) {
            thread.take(block);  // the caller's block may change at once after
        }
        thread.finish();
        EXPECT_EQ(recorder.blocks, sent) << slots << " slots";
    }
}

TEST(ConsumerThread, PassesOnWhatTheConsumerThrewAndDropsTheBlocksAfter) {
    const std::vector<RealVector> sent = numberedBlocks(50);
    Recorder recorder(10);
    ConsumerThread thread(recorder, 2);
    for (const RealVector& block : sent) {
        thread.take(block);  // must not wait for a consumer that has stopped
    }
    EXPECT_THROW(thread.finish(), std::runtime_error);
    EXPECT_EQ(recorder.blocks, std::vector<RealVector>(sent.begin(), sent.begin() + 10));
}

TEST(ConsumerThread, StopsWithoutFinishingWhenDropped) {
    // A refused file drops the thread with blocks still queued: the
    // consumer has seen at most the blocks given, in order.
    const std::vector<RealVector> sent = numberedBlocks(40);
    Recorder recorder;
    {
        ConsumerThread thread(recorder, 4);
        for (const RealVector& block : sent) {
            thread.take(block);
        }
    }
    ASSERT_LE(recorder.blocks.size(), sent.size());
    EXPECT_EQ(recorder.blocks,
              std::vector<RealVector>(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(
                                                                       recorder.blocks.size())));
}

}  // namespace
}  // namespace unionbound
