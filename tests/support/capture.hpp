// Captures the messages a call sends to the diagnostic sink, for the tests
// of the library's fixed messages.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "numeric/diagnostics.hpp"

namespace unionbound::testing {

// Runs `call` and returns {its result, every message it sent, one after the
// other}.
template <typename Call>
auto captured(Call&& call) {
    std::string text;
    const DiagnosticSink keep = [&text](std::string_view message) { text += message; };
    const DiagnosticScope scope(&keep);
    auto result = std::forward<Call>(call)();
    return std::make_pair(std::move(result), text);
}

// Every message `call` (returning nothing) sends.
template <typename Call>
std::string outputOf(Call&& call) {
    return captured([&] {
               std::forward<Call>(call)();
               return 0;
           })
        .second;
}

}  // namespace unionbound::testing
