#include "aggregation/passes.hpp"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "moments/power_moments.hpp"
#include "numeric/diagnostics.hpp"
#include "process/out_of_memory.hpp"
#include "threads/clocks.hpp"

namespace unionbound {

double thresholdPenalty(const RealVector& point) {
    for (double component : point) {
        if (component > 0.1) {
            return -1.0;
        }
    }
    return 0.0;
}

PassTables passTables(std::int32_t n, std::int32_t l, std::int32_t mK) {
    PassDivision division = passDivision(n, l, mK);
    PassTables tables;
    for (const std::int32_t length : subsequenceLengths(n, l)) {
        RealVector row;
        for (std::int32_t j = 0; j <= length; ++j) {
            row.push_back(j);
        }
        tables.counts.push_back(std::move(row));
    }
    tables.pairs = std::move(division.pairs);
    tables.orders = std::move(division.orders);
    return tables;
}

namespace {

// The stages of a pass after its binomial moments; `walkShare` milliseconds
// of the walk are added to the processor time of the stages in this thread.
PassResult finishPass(std::int32_t n, std::int32_t l, std::int32_t m, RealVector moments,
                      std::int64_t walkShare) {
    const std::int64_t start = threadMicroseconds() / 1000 - walkShare;
    PassResult pass;
    pass.l = l;
    pass.tables = passTables(n, l, m);
    pass.moments = std::move(moments);
    const PassTables& t = pass.tables;
    const RealVector rhs = powerMoments(m, t.pairs, t.orders, pass.moments);
    pass.solution = solveBound(thresholdPenalty, t.counts, rhs, t.orders, t.pairs, m);
    pass.elapsed = static_cast<double>(threadMicroseconds() / 1000 - start) * 0.001;
    return pass;
}

// The passes computed by several threads, taken in the order of their
// lengths and handed out in that order.
class SharedPasses {
  public:
    SharedPasses(std::int32_t n, std::int32_t m, std::vector<PassMoments>& moments,
                 const std::vector<std::int64_t>& walkShares)
        : n_(n), m_(m), moments_(moments), walkShares_(walkShares), done_(moments.size()) {}

    // Computes passes not yet taken by anyone until none is left (or a pass
    // failed).
    void work() {
        for (;;) {
            std::size_t i = 0;
            {
                const std::lock_guard lock(mutex_);
                if (next_ == done_.size() || failure_) {
                    return;
                }
                i = next_++;
            }
            compute(i);
        }
    }

    // The pass at `i`, once computed, the calling thread computing passes
    // not yet taken while it waits. Rethrows what a pass threw.
    PassResult take(std::size_t i) {
        std::unique_lock lock(mutex_);
        while (!done_[i] && !failure_) {
            if (next_ < done_.size()) {
                const std::size_t mine = next_++;
                lock.unlock();
                compute(mine);
                lock.lock();
            } else {
                ready_.wait(lock);
            }
        }
        if (failure_) {
            std::rethrow_exception(failure_);
        }
        PassResult pass = std::move(*done_[i]);
        done_[i].reset();
        return pass;
    }

    // Stops the handing out of passes (on the way out after a failure).
    void stop() {
        const std::lock_guard lock(mutex_);
        next_ = done_.size();
    }

  private:
    void compute(std::size_t i) {
        std::optional<PassResult> pass;
        std::exception_ptr failure;
        try {
            const std::int32_t l = m_ + static_cast<std::int32_t>(i);
            pass = buildingFor("the tables of the pass l=" + std::to_string(l), [&] {
                return finishPass(n_, l, m_, std::move(moments_[i].moments), walkShares_[i]);
            });
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard lock(mutex_);
        if (failure) {
            failure_ = failure;
        } else {
            done_[i] = std::move(pass);
        }
        ready_.notify_all();
    }

    std::int32_t n_;
    std::int32_t m_;
    std::vector<PassMoments>& moments_;
    const std::vector<std::int64_t>& walkShares_;
    std::vector<std::optional<PassResult>> done_;
    std::size_t next_ = 0;
    std::exception_ptr failure_;
    std::mutex mutex_;
    std::condition_variable ready_;
};

}  // namespace

RunSummary runPassesFromMoments(std::vector<PassMoments> moments, std::int64_t walkMicroseconds,
                                std::int32_t n, std::int32_t m,
                                const std::function<void(const PassResult&)>& afterPass,
                                std::int32_t threads) {
    const std::int32_t mK = m;

    // Each pass is charged a share of the walk's time in proportion to the
    // terms its sums add.
    std::vector<std::uint64_t> terms;
    for (const PassMoments& pass : moments) {
        terms.push_back(static_cast<std::uint64_t>(pass.terms));
    }
    const std::vector<std::int64_t> walkShares =
        apportionMilliseconds(walkMicroseconds / 1000, terms);

    SharedPasses shared(n, m, moments, walkShares);
    std::vector<std::thread> helpers;
    // The helpers send their messages where the calling thread sends them.
    const DiagnosticSink* const sink = currentDiagnosticSink();
    const std::size_t helperCount =
        std::min(static_cast<std::size_t>(std::max(threads, 1) - 1), moments.size());
    for (std::size_t h = 0; h < helperCount; ++h) {
        helpers.emplace_back([&shared, sink] {
            const DiagnosticScope scope(sink);
            shared.work();
        });
    }
    const auto joinHelpers = [&] {
        shared.stop();
        for (std::thread& helper : helpers) {
            helper.join();
        }
        helpers.clear();
    };

    RunSummary best{kSearchStart, 0.0, mK};
    try {
        for (std::size_t i = 0; i < moments.size(); ++i) {
            const PassResult pass = shared.take(i);
            if (pass.l == mK || pass.solution.value > best.bestValue) {
                best = {pass.solution.value, pass.elapsed, pass.l};
            }
            if (afterPass) {
                afterPass(pass);
            }
        }
    } catch (...) {
        joinHelpers();
        throw;
    }
    joinHelpers();
    return best;
}

RunSummary runPasses(const RealVector& prob, std::int32_t n, std::int32_t m,
                     const std::function<void(const PassResult&)>& afterPass) {
    const std::int64_t walkStart = threadMicroseconds();
    std::vector<PassMoments> moments = binomialMomentsOfPasses(prob, n, m, passDivisions(n, m));
    return runPassesFromMoments(std::move(moments), threadMicroseconds() - walkStart, n, m,
                                afterPass);
}

}  // namespace unionbound
