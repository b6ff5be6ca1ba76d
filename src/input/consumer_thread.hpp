// A consumer of the probabilities that works on a helper thread of the run,
// so that the numbers are summed while the reader reads on.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <span>
#include <vector>

#include "moments/probability_consumer.hpp"
#include "numeric/types.hpp"
#include "threads/pool.hpp"

namespace unionbound {

// Hands the blocks it takes to `consumer` on a helper of `pool` (which needs
// one), one after the other in the order they came: take() copies the block into a free slot
// and returns at once; it waits only while all `slots` are still queued, so
// memory stays at `slots` blocks. The consumer sees the same numbers in the
// same blocks as it would in the calling thread, so what it forms is the
// same.
class ConsumerThread final : public ProbabilityConsumer {
  public:
    ConsumerThread(ProbabilityConsumer& consumer, ThreadPool& pool, std::size_t slots = 4);
    // Stops the thread; blocks still queued are dropped.
    ~ConsumerThread() override;
    ConsumerThread(const ConsumerThread&) = delete;
    ConsumerThread& operator=(const ConsumerThread&) = delete;

    void take(std::span<const double> block) override;
    // Waits until the consumer has taken every block, then ends the thread.
    // Rethrows what the consumer threw (the blocks after it were dropped).
    void finish();

  private:
    void work();
    void stop();

    ProbabilityConsumer& consumer_;
    std::vector<RealVector> slots_;
    std::size_t first_ = 0;   // the oldest queued slot
    std::size_t queued_ = 0;  // slots waiting for the consumer
    bool closing_ = false;
    bool dropping_ = false;  // the consumer threw: later blocks are dropped
    std::exception_ptr failure_;
    std::mutex mutex_;
    std::condition_variable changed_;
    ThreadPool::Task task_;
    bool running_ = true;
};

}  // namespace unionbound
