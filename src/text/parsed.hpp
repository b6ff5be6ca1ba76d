// The result of reading something a person or a file gave: the value, or the
// error whose message says what was wrong and where. It is the library's one
// convention for what can fail (unionbound/expected.hpp), named for its use
// in reading.
#pragma once

#include <string>
#include <utility>

#include "unionbound/expected.hpp"

namespace unionbound {

template <typename T>
using Parsed = Expected<T>;

// Why a reading failed: converts to a failed Parsed<T> of any T.
inline Error refuse(std::string message) {
    return Error{ErrorKind::badInput, std::move(message)};
}

}  // namespace unionbound
