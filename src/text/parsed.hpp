// The result of reading something a person or a file gave: the value, or the
// message that says what was wrong and where. The shape of std::expected,
// for C++20.
#pragma once

#include <string>
#include <utility>

namespace unionbound {

// Why a reading failed: converts to a failed Parsed<T> of any T.
struct Refusal {
    std::string message;
};

inline Refusal refuse(std::string message) {
    return Refusal{std::move(message)};
}

template <typename T>
class Parsed {
  public:
    // A success holding `value`.
    Parsed(T value) : value_(std::move(value)) {}
    // A failure with the refusal's message (never empty).
    Parsed(Refusal refusal) : message_(std::move(refusal.message)), ok_(false) {
        if (message_.empty()) {
            message_ = "refused";
        }
    }

    bool ok() const { return ok_; }
    // The value; a default T on failure.
    const T& value() const { return value_; }
    T& value() { return value_; }
    // What was wrong; empty on success.
    const std::string& message() const { return message_; }

  private:
    T value_{};
    std::string message_;
    bool ok_ = true;
};

}  // namespace unionbound
