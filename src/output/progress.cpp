#include "output/progress.hpp"

namespace unionbound {

void ProgressLine::show(const std::string& text) {
    if (out_ == nullptr) {
        return;
    }
    *out_ << '\r' << text;
    if (text.size() < shown_) {
        *out_ << std::string(shown_ - text.size(), ' ') << '\r' << text;
    }
    *out_ << std::flush;
    shown_ = text.size();
}

void ProgressLine::clear() {
    if (out_ == nullptr || shown_ == 0) {
        return;
    }
    *out_ << '\r' << std::string(shown_, ' ') << '\r' << std::flush;
    shown_ = 0;
}

}  // namespace unionbound
