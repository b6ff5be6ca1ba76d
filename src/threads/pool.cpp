#include "threads/pool.hpp"

#include <atomic>

namespace unionbound {

ThreadPool::ThreadPool(std::int32_t threads) {
    for (std::int32_t t = 1; t < threads; ++t) {
        helpers_.emplace_back([this] { serve(); });
    }
}

ThreadPool::~ThreadPool() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    for (std::thread& helper : helpers_) {
        helper.join();
    }
}

void ThreadPool::serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
        if (queue_.empty()) {
            return;  // closing, and nothing left to run
        }
        std::function<void()> work = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        work();
        lock.lock();
    }
}

ThreadPool::Task ThreadPool::start(std::function<void()> work) {
    Task task;
    task.state_ = std::make_shared<Task::State>();
    auto run = [state = task.state_, work = std::move(work)] {
        std::exception_ptr failure;
        {
            const DiagnosticScope scope(&state->said.sink());
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        const std::lock_guard lock(state->mutex);
        state->failure = failure;
        state->done = true;
        state->ended.notify_all();
    };
    if (helpers_.empty()) {
        run();
        return task;
    }
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(run));
    }
    changed_.notify_one();
    return task;
}

void ThreadPool::Task::wait() {
    if (!state_) {
        return;
    }
    const std::shared_ptr<State> state = std::move(state_);
    {
        std::unique_lock lock(state->mutex);
        state->ended.wait(lock, [&] { return state->done; });
    }
    state->said.replay();
    if (state->failure) {
        std::rethrow_exception(state->failure);
    }
}

void forEachPart(ThreadPool& pool, std::size_t parts,
                 const std::function<void(std::size_t)>& body) {
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t part = next++; part < parts; part = next++) {
            body(part);
        }
    };
    std::vector<ThreadPool::Task> helpers;
    for (std::size_t h = 0; h < pool.helpers() && h + 1 < parts; ++h) {
        helpers.push_back(pool.start(work));
    }
    // Every helper ends before `next` and `work` go, whatever threw.
    std::exception_ptr failure;
    try {
        work();
    } catch (...) {
        failure = std::current_exception();
        next = parts;
    }
    for (ThreadPool::Task& helper : helpers) {
        try {
            helper.wait();
        } catch (...) {
            failure = failure ? failure : std::current_exception();
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace unionbound
