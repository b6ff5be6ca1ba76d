#include "generator/probability_sink.hpp"

#include <charconv>

namespace unionbound {

void ProbabilitySink::write(double probability) {
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, probability);
    buffer_.append(text, written.ptr);
    buffer_.push_back('\n');
    ++count_;
    if (buffer_.size() >= kFlushAt) {
        flush();
    }
}

void ProbabilitySink::flush() {
    out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
}

std::string shortestDecimal(double value) {
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

}  // namespace unionbound
