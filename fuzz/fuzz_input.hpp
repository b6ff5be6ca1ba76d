// Helpers shared by the fuzz targets: taking small numbers off the front of
// the fuzzer's bytes, and the checks every message must pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace unionbound::fuzzing {

// The fuzzer's bytes, read from the front.
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : text_(reinterpret_cast<const char*>(data), size) {}

    // The next byte (0 once the bytes are used up).
    std::uint8_t byte() {
        if (text_.empty()) {
            return 0;
        }
        const auto b = static_cast<std::uint8_t>(text_.front());
        text_.remove_prefix(1);
        return b;
    }

    // The next eight bytes as a signed 64-bit number, low byte first.
    std::int64_t int64() {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            bits |= std::uint64_t{byte()} << (8 * i);
        }
        return static_cast<std::int64_t>(bits);
    }

    // Everything not taken yet.
    std::string_view rest() const { return text_; }

  private:
    std::string_view text_;
};

// Stops the run with a finding; libFuzzer keeps the input that led here.
[[noreturn]] inline void violated(const char* what, std::string_view detail = {}) {
    std::fprintf(stderr, "invariant violated: %s\n%.*s\n", what, static_cast<int>(detail.size()),
                 detail.data());
    std::abort();
}

inline void require(bool holds, const char* what, std::string_view detail = {}) {
    if (!holds) {
        violated(what, detail);
    }
}

// A message shown to the user: something to say, on one line.
inline void requireOneLineMessage(std::string_view message, const char* what) {
    require(!message.empty(), what, "the message is empty");
    require(message.find_first_of("\n\r") == std::string_view::npos, what, message);
}

}  // namespace unionbound::fuzzing
