// The process clock, in the whole milliseconds the passes are timed in.
#pragma once

#include <cstdint>
#include <vector>

namespace unionbound {

// The process time used so far, in milliseconds (std::clock).
std::int64_t processMilliseconds();

// The processor time the calling thread used so far, in microseconds: the
// running time of work done in one thread while another thread works too.
std::int64_t threadMicroseconds();

// Splits `total` milliseconds into whole milliseconds in proportion to
// `weights` (largest remainders first, earlier entries first among equal
// remainders): the shares add up to the total and keep the millisecond ticks
// of the process clock. Nothing is shared out of a total of at most 0 or
// weights adding up to 0.
std::vector<std::int64_t> apportionMilliseconds(std::int64_t total,
                                                const std::vector<std::uint64_t>& weights);

}  // namespace unionbound
