// The events to bound and what is known of them: the probabilities of all
// intersections of 1 to m of the n events.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace unionbound {

struct Problem {
    std::int64_t n = 0;  // the number of events
    std::int64_t m = 0;  // the largest number of events in an intersection given
    // The C(n,1) + … + C(n,m) probabilities in the subset order: all single
    // events, then all pairs, …, each size in lexicographic order (for n = 4,
    // m = 2: P(1) … P(4), P(1∩2), P(1∩3), P(1∩4), P(2∩3), P(2∩4), P(3∩4)).
    // Used when `file` is empty and `standardInput` false.
    std::vector<double> probabilities;
    // A text file to read them from instead, white-space separated in the
    // same order (as prob.txt): each number is checked as it streams past,
    // and none is kept beyond what the methods need. Numbers after the
    // expected count are not read (Result::warnings counts them). Messages
    // name the file by this path.
    std::string file;
    // Read them from the process's standard input instead, as from a file;
    // messages name it "standard input".
    bool standardInput = false;

    static Problem fromProbabilities(std::int64_t n, std::int64_t m,
                                     std::vector<double> probabilities) {
        Problem problem;
        problem.n = n;
        problem.m = m;
        problem.probabilities = std::move(probabilities);
        return problem;
    }
    static Problem fromStandardInput(std::int64_t n, std::int64_t m) {
        Problem problem;
        problem.n = n;
        problem.m = m;
        problem.standardInput = true;
        return problem;
    }
    static Problem fromFile(std::int64_t n, std::int64_t m, std::string path) {
        Problem problem;
        problem.n = n;
        problem.m = m;
        problem.file = std::move(path);
        return problem;
    }
};

}  // namespace unionbound
