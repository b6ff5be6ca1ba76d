#include "process/out_of_memory.hpp"

#include <cstdio>

namespace unionbound {

OutOfMemory::OutOfMemory(const std::string& what) noexcept {
    std::snprintf(message_, sizeof message_, "not enough memory for %s", what.c_str());
}

}  // namespace unionbound
