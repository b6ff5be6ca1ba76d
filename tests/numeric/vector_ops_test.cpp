#include "numeric/vector_ops.hpp"

#include <gtest/gtest.h>

namespace unionbound {
TEST(Placeholder, Builds) { EXPECT_EQ(ScalarProduct({1, 2}, {3, 4}), 11.0); }
}  // namespace unionbound
