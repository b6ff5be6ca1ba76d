// The unionbound program: bounds the probability of the union of n events
// from "prob.txt" and writes "result.txt"; without arguments it asks for n
// and m at the console.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "app/program.hpp"
#include "cli/exit_status.hpp"
#include "process/interruption.hpp"
#include "process/out_of_memory.hpp"

int main(int argc, char** argv) {
    unionbound::installInterruptionHandlers();
    return unionbound::endingWhenMemoryRunsOut(std::cerr, unionbound::kExitBadData, [&] {
        const std::vector<std::string> words(argv + 1, argv + argc);
        return unionbound::runCommandLine(words, std::cin, std::cout, std::cerr,
                                          isatty(STDERR_FILENO) == 1);
    });
}
