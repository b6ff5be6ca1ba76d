// Captures what a call writes to standard output, for the tests of the
// library's fixed messages.
#pragma once

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <utility>

namespace unionbound::testing {

// Runs `call` and returns {its result, everything it wrote to std::cout}.
template <typename Call>
auto captured(Call&& call) {
    std::cout.flush();
    ::testing::internal::CaptureStdout();
    auto result = std::forward<Call>(call)();
    std::cout.flush();
    return std::make_pair(std::move(result), ::testing::internal::GetCapturedStdout());
}

// Everything `call` (returning nothing) writes to std::cout.
template <typename Call>
std::string outputOf(Call&& call) {
    std::cout.flush();
    ::testing::internal::CaptureStdout();
    std::forward<Call>(call)();
    std::cout.flush();
    return ::testing::internal::GetCapturedStdout();
}

}  // namespace unionbound::testing
