// The unionbound library: bounds on the probability of the union of n events
// from the probabilities of their intersections of up to m events.
//
//   unionbound::Options options;
//   options.methods = {"aggregation", "exact"};
//   const auto result = unionbound::bounds(
//       unionbound::Problem::fromFile(10, 3, "prob.txt"), options);
//   if (result.ok()) { result.value().best.upper.value … }
#pragma once

#include "unionbound/engine.hpp"
#include "unionbound/expected.hpp"
#include "unionbound/export.hpp"
#include "unionbound/options.hpp"
#include "unionbound/problem.hpp"
#include "unionbound/result.hpp"
