#include "input/consumer_thread.hpp"

#include <algorithm>

namespace unionbound {

ConsumerThread::ConsumerThread(ProbabilityConsumer& consumer, ThreadPool& pool, std::size_t slots)
    : consumer_(consumer), slots_(std::max<std::size_t>(slots, 1)) {
    task_ = pool.start([this] { work(); });
}

ConsumerThread::~ConsumerThread() {
    {
        const std::lock_guard lock(mutex_);
        dropping_ = true;
        queued_ = 0;
    }
    stop();
}

void ConsumerThread::take(std::span<const double> block) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queued_ < slots_.size() || dropping_; });
    if (dropping_) {
        return;
    }
    RealVector& slot = slots_[(first_ + queued_) % slots_.size()];
    slot.assign(block.begin(), block.end());
    ++queued_;
    changed_.notify_all();
}

void ConsumerThread::finish() {
    stop();
    if (failure_) {
        std::rethrow_exception(failure_);
    }
}

void ConsumerThread::stop() {
    if (!running_) {
        return;
    }
    running_ = false;
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    task_.wait();
}

void ConsumerThread::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return queued_ > 0 || closing_; });
        if (queued_ == 0) {
            break;  // closing, and every block taken
        }
        RealVector& slot = slots_[first_];
        lock.unlock();
        bool failed = false;
        try {
            consumer_.take(slot);
        } catch (...) {
            failure_ = std::current_exception();
            failed = true;
        }
        lock.lock();
        if (failed) {
            dropping_ = true;
            queued_ = 0;
        } else if (queued_ > 0) {
            first_ = (first_ + 1) % slots_.size();
            --queued_;
        }
        changed_.notify_all();
    }
}

}  // namespace unionbound
