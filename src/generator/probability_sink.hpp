// Writes intersection probabilities as a "prob.txt" text: one number per
// line, each in the shortest form that reads back to the same double.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace unionbound {

class ProbabilitySink {
  public:
    explicit ProbabilitySink(std::ostream& out) : out_(out) { buffer_.reserve(kFlushAt + 64); }
    ~ProbabilitySink() { flush(); }
    ProbabilitySink(const ProbabilitySink&) = delete;
    ProbabilitySink& operator=(const ProbabilitySink&) = delete;

    void write(double probability);
    void flush();
    std::int64_t count() const { return count_; }

  private:
    static constexpr std::size_t kFlushAt = std::size_t{1} << 20;
    std::ostream& out_;
    std::string buffer_;
    std::int64_t count_ = 0;
};

// The shortest decimal form that reads back to `value` exactly.
std::string shortestDecimal(double value);

}  // namespace unionbound
