#include "text/number_format.hpp"

#include <cstdio>

namespace unionbound {

namespace {

std::string formatted(const char* format, double value) {
    char text[40];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::string general15(double value) {
    return formatted("%.15g", value);
}

std::string general17(double value) {
    return formatted("%.17g", value);
}

}  // namespace unionbound
