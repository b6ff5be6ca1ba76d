// The one pool of threads: work shared by the helpers comes back in order,
// with what it said, whatever the number of threads.
#include "threads/pool.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/capture.hpp"

namespace unionbound {
namespace {

TEST(ComputeInOrder, DeliversEveryItemInOrderWithItsMessagesJustBeforeIt) {
    for (const std::int32_t threads : {1, 2, 5}) {
        ThreadPool pool(threads);
        std::vector<std::size_t> delivered;
        const auto [count, said] = testing::captured([&] {
            return computeInOrder<std::size_t>(
                pool, 40,
                [](std::size_t i) {
                    // Uneven work, so that the helpers finish out of order.
                    volatile double x = 0.0;
                    for (std::size_t k = 0; k < (40 - i) * 2000; ++k) {
                        x = x + 1.0;
                    }
                    diagnose("<" + std::to_string(i));
                    diagnose(">");
                    return i * i;
                },
                [&](std::size_t i, std::size_t square) {
                    EXPECT_EQ(square, i * i);
                    diagnose("d" + std::to_string(i));
                    delivered.push_back(i);
                });
        });
        EXPECT_EQ(count, 40u) << threads << " threads";
        std::string expected;
        for (std::size_t i = 0; i < 40; ++i) {
            expected += "<" + std::to_string(i) + ">d" + std::to_string(i);
            EXPECT_EQ(delivered[i], i);
        }
        EXPECT_EQ(said, expected) << threads << " threads";
    }
}

TEST(ComputeInOrder, StartsNoItemOnceStopSaysSoAndDeliversThoseStarted) {
    for (const std::int32_t threads : {1, 3}) {
        ThreadPool pool(threads);
        std::vector<std::size_t> delivered;
        const std::size_t count = computeInOrder<std::size_t>(
            pool, 1000,
            [](std::size_t i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                return i;
            },
            [&](std::size_t i, std::size_t) { delivered.push_back(i); },
            [&] { return delivered.size() >= 5; });
        // Alone, the calling thread starts nothing after the fifth; helpers
        // may have started a few more by then.
        EXPECT_GE(count, 5u) << threads << " threads";
        EXPECT_LE(count, threads == 1 ? 5u : 50u) << threads << " threads";
        ASSERT_EQ(delivered.size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(delivered[i], i);
        }
    }
}

TEST(ComputeInOrder, RethrowsWhatAnItemThrewAfterTheItemsInFlight) {
    for (const std::int32_t threads : {1, 4}) {
        ThreadPool pool(threads);
        std::vector<std::size_t> delivered;
        EXPECT_THROW(computeInOrder<std::size_t>(
                         pool, 100,
                         [](std::size_t i) {
                             if (i == 30) {
                                 throw std::runtime_error("item 30");
                             }
                             return i;
                         },
                         [&](std::size_t i, std::size_t) { delivered.push_back(i); }),
                     std::runtime_error);
        EXPECT_LE(delivered.size(), 30u) << threads << " threads";
        // The pool still works afterwards.
        EXPECT_EQ(computeInOrder<int>(
                      pool, 3, [](std::size_t) { return 1; }, [](std::size_t, int) {}),
                  3u);
    }
}

TEST(PoolTask, GivesItsMessagesAndItsFailureToTheThreadThatWaits) {
    for (const std::int32_t threads : {1, 2}) {
        ThreadPool pool(threads);
        ThreadPool::Task task = pool.start([] {
            diagnose("from the task");
            throw std::runtime_error("task failed");
        });
        const std::string said =
            testing::outputOf([&] { EXPECT_THROW(task.wait(), std::runtime_error); });
        EXPECT_EQ(said, "from the task") << threads << " threads";
    }
}

}  // namespace
}  // namespace unionbound
