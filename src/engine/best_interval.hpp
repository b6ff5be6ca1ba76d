// The best interval over the methods of a run: the smallest upper and the
// largest lower bound, where a bound that contradicts a more certain one of
// the other side gives way to it (Interval in unionbound/result.hpp).
#pragma once

#include <vector>

#include "unionbound/result.hpp"

namespace unionbound::engine {

Interval bestInterval(const std::vector<MethodResult>& methods);

}  // namespace unionbound::engine
