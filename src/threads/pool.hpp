// The threads of a run: helpers that share its work with the thread that
// made them. Work handed to a helper sends its diagnostics (the numeric
// stages' messages) to a record of its own, and they reach the sink of the
// thread that takes the work's result, in the order the work would have
// sent them alone: what a run says does not depend on how many threads it
// has.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "numeric/diagnostics.hpp"

namespace unionbound {

class ThreadPool {
  public:
    // `threads` counts the calling thread: threads - 1 helpers (none for 1
    // or less).
    explicit ThreadPool(std::int32_t threads);
    // Runs what is still queued, then ends the helpers.
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    std::size_t helpers() const { return helpers_.size(); }

    // A piece of work started by start().
    class Task {
      public:
        Task() = default;
        // Waits for the work to end, sends what it said to the calling
        // thread's sink and rethrows what it threw. Once only.
        void wait();

      private:
        friend class ThreadPool;
        struct State {
            std::mutex mutex;
            std::condition_variable ended;
            bool done = false;
            std::exception_ptr failure;
            DiagnosticRecord said;
        };
        std::shared_ptr<State> state_;
    };

    // Runs `work` on the next free helper (in the calling thread at once
    // when there are none).
    Task start(std::function<void()> work);

  private:
    void serve();

    std::vector<std::thread> helpers_;
    std::deque<std::function<void()>> queue_;
    bool closing_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
};

// Runs body(part) for every part in [0, parts) on the pool's helpers and the
// calling thread, each taking the next part until none is left. Returns when
// every part has run; what a body threw is rethrown once all have stopped.
void forEachPart(ThreadPool& pool, std::size_t parts, const std::function<void(std::size_t)>& body);

// Computes compute(i) for i = 0 … count-1 on the pool's helpers and the
// calling thread, and hands each result to deliver(i, result) in the calling
// thread, in the order of i; while it waits for the next result, the calling
// thread computes items that no one has taken yet. The messages that
// compute(i) sends reach the calling thread's sink just before deliver(i).
// `stop` (if set) is asked in the calling thread only, before each item it
// takes itself and after each delivery; the helpers take no item before it
// has first been asked, and after each time it says false each helper may
// take one item more. Once it says true no further item is started, and the
// items started before are still delivered. Returns the number of items
// delivered, a prefix of 0 … count-1. What compute or deliver throws ends
// the handing out, and is rethrown once the items in flight are done.
template <typename Result, typename Compute, typename Deliver>
std::size_t computeInOrder(ThreadPool& pool, std::size_t count, Compute&& compute,
                           Deliver&& deliver, const std::function<bool()>& stop = {}) {
    std::mutex mutex;
    // An item is done, the handing out ended, or the helpers may take more.
    std::condition_variable changed;
    std::size_t next = 0;       // the first item not yet handed out
    std::size_t limit = count;  // no item at or after it is handed out
    std::vector<std::optional<Result>> done(count);
    std::vector<std::unique_ptr<DiagnosticRecord>> said(count);
    std::exception_ptr failure;
    const std::size_t helpers = count == 0 ? 0 : std::min(pool.helpers(), count - 1);
    // With a stop check, the items the helpers may still take before it is
    // asked again: none before it is first asked.
    std::size_t allowance = stop ? 0 : count;

    const auto computeOne = [&](std::size_t i) {
        auto record = std::make_unique<DiagnosticRecord>();
        std::optional<Result> result;
        std::exception_ptr thrown;
        {
            const DiagnosticScope scope(&record->sink());
            try {
                result.emplace(compute(i));
            } catch (...) {
                thrown = std::current_exception();
            }
        }
        const std::lock_guard lock(mutex);
        if (thrown) {
            failure = failure ? failure : thrown;
            limit = next;
        } else {
            done[i] = std::move(result);
            said[i] = std::move(record);
        }
        changed.notify_all();
    };
    const auto share = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return next >= limit || allowance > 0; });
            if (next >= limit) {
                return;
            }
            --allowance;
            const std::size_t i = next++;
            lock.unlock();
            computeOne(i);
            lock.lock();
        }
    };

    std::vector<ThreadPool::Task> tasks;
    for (std::size_t h = 0; h < helpers; ++h) {
        tasks.push_back(pool.start(share));
    }
    // Asked in the calling thread only; once it says true, nothing more is
    // handed out, and until it is asked again the helpers take at most one
    // item each.
    const auto stopping = [&](std::unique_lock<std::mutex>& lock) {
        if (!stop || next >= limit) {
            return false;
        }
        lock.unlock();
        const bool asked = stop();
        lock.lock();
        if (asked) {
            limit = next;
        } else {
            allowance = helpers;
        }
        changed.notify_all();
        return asked;
    };
    std::size_t delivered = 0;
    std::exception_ptr deliveryFailure;
    try {
        std::unique_lock lock(mutex);
        for (std::size_t i = 0; i < count; ++i) {
            while (!done[i] && !failure && i < limit) {
                if (next < limit && !stopping(lock) && next < limit) {
                    const std::size_t mine = next++;
                    lock.unlock();
                    computeOne(mine);
                    lock.lock();
                } else if (!done[i] && !failure && i < limit) {
                    changed.wait(lock);
                }
            }
            if (failure || !done[i]) {
                break;
            }
            Result result = std::move(*done[i]);
            done[i].reset();
            const std::unique_ptr<DiagnosticRecord> record = std::move(said[i]);
            lock.unlock();
            record->replay();
            deliver(i, std::move(result));
            ++delivered;
            lock.lock();
            stopping(lock);
        }
    } catch (...) {
        deliveryFailure = std::current_exception();
    }
    {
        const std::lock_guard lock(mutex);
        limit = next;
        changed.notify_all();
    }
    for (ThreadPool::Task& task : tasks) {
        task.wait();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    if (deliveryFailure) {
        std::rethrow_exception(deliveryFailure);
    }
    return delivered;
}

}  // namespace unionbound
