// The one way the library says that something could not be done: a value,
// or an error whose message, one line in the user's words, says what was
// wrong and where. No call of the library writes to a stream, and none
// throws for bad input.
#pragma once

#include <string>
#include <utility>

namespace unionbound {

enum class ErrorKind {
    badInput,      // the sizes, the probabilities or an option cannot be used
    inconsistent,  // proven: no joint distribution of the events has the probabilities
    outOfMemory,   // not enough memory for what the message names
    failed,        // anything else that ended the computation
};

struct Error {
    ErrorKind kind = ErrorKind::badInput;
    std::string message;
};

// A value of type T, or the error that kept it from being made.
template <typename T>
class Expected {
  public:
    // A success holding `value`.
    Expected(T value) : value_(std::move(value)) {}
    // A failure; its message is never empty.
    Expected(Error error) : error_(std::move(error)), ok_(false) {
        if (error_.message.empty()) {
            error_.message = "refused";
        }
    }

    bool ok() const { return ok_; }
    // The value; a default T on failure.
    const T& value() const { return value_; }
    T& value() { return value_; }
    const Error& error() const { return error_; }
    // What was wrong; empty on success.
    const std::string& message() const { return error_.message; }

  private:
    T value_{};
    Error error_;
    bool ok_ = true;
};

// Success without a value, or the error.
template <>
class Expected<void> {
  public:
    Expected() = default;
    Expected(Error error) : error_(std::move(error)), ok_(false) {
        if (error_.message.empty()) {
            error_.message = "refused";
        }
    }

    bool ok() const { return ok_; }
    const Error& error() const { return error_; }
    const std::string& message() const { return error_.message; }

  private:
    Error error_;
    bool ok_ = true;
};

}  // namespace unionbound
