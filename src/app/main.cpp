// The unionbound program: asks for n and m, bounds the probability of the
// union of n events from "prob.txt" and writes "result.txt".
#include <iostream>

#include "app/driver.hpp"

int main() { return unionbound::runConsole(std::cin, std::cout, std::cerr); }
