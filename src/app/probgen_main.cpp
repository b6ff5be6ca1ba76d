// The probgen program: writes a valid "prob.txt" from independent events,
// observed data or a seeded random mixture, and prints the probability of
// the union.
#include <iostream>
#include <string>
#include <vector>

#include "generator/probgen.hpp"
#include "cli/exit_status.hpp"
#include "process/interruption.hpp"
#include "process/out_of_memory.hpp"

int main(int argc, char** argv) {
    unionbound::installInterruptionHandlers();
    return unionbound::endingWhenMemoryRunsOut(std::cerr, unionbound::kExitBadData, [&] {
        const std::vector<std::string> words(argv + 1, argv + argc);
        return unionbound::runProbgen(words, std::cout, std::cerr);
    });
}
