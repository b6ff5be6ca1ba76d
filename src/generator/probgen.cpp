#include "generator/probgen.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>

#include "cli/arguments.hpp"
#include "cli/exit_status.hpp"
#include "generator/generators.hpp"
#include "moments/subsets.hpp"
#include "process/out_of_memory.hpp"
#include "process/replacement_file.hpp"
#include "text/numbers.hpp"
#include "text/shown_word.hpp"

#ifndef UNIONBOUND_VERSION
#define UNIONBOUND_VERSION "unknown"
#endif

namespace unionbound {

namespace {

constexpr std::int64_t kMostOutcomes = 1000000;
constexpr std::int64_t kMostItems = 10000000;

// A whole-number option within [least, most] into `number`; returns the
// problem or empty.
std::string readBoundedNumber(ArgumentWalker& words, const char* meaning, std::int64_t least,
                              std::int64_t most, std::int64_t& number) {
    const Parsed<std::int64_t> value = wholeNumberValue(words, meaning, least, most);
    number = value.value();
    return value.message();
}

// "0.1,0.25,0.5": probabilities in [0, 1]; returns the problem or empty.
std::string readProbabilityList(const std::string& text, RealVector& values) {
    std::size_t start = 0;
    for (std::size_t index = 1;; ++index) {
        const std::size_t comma = text.find(',', start);
        const std::string word = text.substr(start, comma - start);
        const Parsed<double> read = parseDecimal(word);
        const double value = read.value();
        if (!read.ok() || !(value >= 0.0) || value > 1.0) {
            return "--independent: value " + std::to_string(index) + " \"" + shownWord(word) +
                   "\" is not a probability in [0, 1]";
        }
        values.push_back(value);
        if (comma == std::string::npos) {
            return {};
        }
        start = comma + 1;
    }
}

}  // namespace

Parsed<ProbgenCommand> parseProbgenCommand(const std::vector<std::string>& words) {
    ProbgenCommand command;
    ArgumentWalker walker(words);
    const auto fail = [](std::string problem) {
        return Parsed<ProbgenCommand>(refuse(std::move(problem)));
    };
    bool seenOutcomes = false, seenDensity = false, seenGroupSize = false, seenItems = false;
    std::int64_t n = 0, m = 0;
    std::vector<std::string> seen;
    while (!walker.done()) {
        const std::string option = walker.nextOption();
        if (!walker.isOption()) {
            return fail("unexpected argument \"" + shownWord(option) +
                        "\": the program takes options only");
        }
        if ((option == "--help" || option == "-h" || option == "--version") &&
            walker.hasAttachedValue()) {
            return fail("option " + option + " takes no value");
        }
        if (option == "--help" || option == "-h") {
            command.action = ProbgenCommand::Action::help;
            return command;
        }
        if (option == "--version") {
            command.action = ProbgenCommand::Action::version;
            return command;
        }
        for (const std::string& earlier : seen) {
            if (earlier == option) {
                return fail("option " + option + " is given twice");
            }
        }
        seen.push_back(option);
        const bool isSource = option == "--independent" || option == "--data" ||
                              option == "--mixture" || option == "--clustered" ||
                              option == "--records";
        if (isSource && command.source != ProbgenCommand::Source::none) {
            return fail(
                "only one of --independent, --data, --mixture, --clustered and --records may be "
                "given");
        }
        std::string problem;
        if (option == "-n") {
            problem = readBoundedNumber(walker, "the number of events", 1,
                                        std::numeric_limits<std::int32_t>::max(), n);
        } else if (option == "-m") {
            problem = readBoundedNumber(walker, "the maximum order of the intersections", 1,
                                        std::numeric_limits<std::int32_t>::max(), m);
        } else if (option == "--independent") {
            command.source = ProbgenCommand::Source::independent;
            const Parsed<std::string> text = walker.value();
            problem = text.ok() ? readProbabilityList(text.value(), command.probabilities)
                                : text.message() + " (probabilities such as 0.1,0.2,0.3)";
        } else if (option == "--data") {
            command.source = ProbgenCommand::Source::data;
            command.dataPath = walker.value().value();
            if (command.dataPath.empty()) {
                problem = "option --data needs a value (a CSV file path)";
            }
        } else if (option == "--mixture" || option == "--clustered" || option == "--records") {
            command.source = option == "--mixture"     ? ProbgenCommand::Source::mixture
                             : option == "--clustered" ? ProbgenCommand::Source::clustered
                                                       : ProbgenCommand::Source::records;
            std::int64_t seed = 0;
            problem = readBoundedNumber(walker, "the seed", 0,
                                        std::numeric_limits<std::int64_t>::max(), seed);
            command.seed = static_cast<std::uint64_t>(seed);
        } else if (option == "--outcomes") {
            seenOutcomes = true;
            std::int64_t outcomes = 0;
            problem = readBoundedNumber(walker, "the number of outcome vectors", 1,
                                        kMostOutcomes, outcomes);
            command.outcomes = static_cast<std::int32_t>(outcomes);
        } else if (option == "--density") {
            seenDensity = true;
            const Parsed<std::string> text = walker.value();
            const Parsed<double> density = parseDecimal(text.value());
            command.density = density.value();
            if (!text.ok()) {
                problem = text.message() + " (a share of the events, in (0, 1])";
            } else if (!density.ok() || !(command.density > 0.0) || command.density > 1.0) {
                problem = "--density (a share of the events) must lie in (0, 1], not \"" +
                          shownWord(text.value()) + "\"";
            }
        } else if (option == "--group-size") {
            seenGroupSize = true;
            std::int64_t size = 0;
            problem = readBoundedNumber(walker, "the number of events in a group", 1,
                                        std::numeric_limits<std::int32_t>::max(), size);
            command.groupSize = static_cast<std::int32_t>(size);
        } else if (option == "--items") {
            seenItems = true;
            problem =
                readBoundedNumber(walker, "the number of items", 1, kMostItems, command.items);
        } else if (option == "--output") {
            command.outputPath = walker.value().value();
            if (command.outputPath.empty()) {
                problem = "option --output needs a value (a file path, or - for standard output)";
            }
        } else {
            problem = "unknown option \"" + shownWord(option) + "\"";
        }
        if (!problem.empty()) {
            return fail(problem);
        }
    }
    using Source = ProbgenCommand::Source;
    if (command.source == Source::none) {
        return fail(
            "a source is needed: --independent, --data, --mixture, --clustered or --records");
    }
    if (m == 0) {
        return fail("option -m (the maximum order of the intersections) is required");
    }
    if ((seenOutcomes || seenDensity) && command.source != Source::mixture) {
        return fail(std::string(seenOutcomes ? "--outcomes" : "--density") +
                    " is only used with --mixture");
    }
    if (seenGroupSize && command.source != Source::clustered) {
        return fail("--group-size is only used with --clustered");
    }
    if (seenItems && command.source != Source::records) {
        return fail("--items is only used with --records");
    }
    const bool seeded = command.source == Source::mixture || command.source == Source::clustered ||
                        command.source == Source::records;
    if (seeded && n == 0) {
        return fail(std::string(command.source == Source::mixture     ? "--mixture"
                                : command.source == Source::clustered ? "--clustered"
                                                                      : "--records") +
                    " needs -n (the number of events)");
    }
    if (command.source == Source::independent) {
        // A single probability with -n stands for n events of that
        // probability; the list is widened only when the file is written.
        const auto given = static_cast<std::int64_t>(command.probabilities.size());
        if (n != 0 && given != 1 && given != n) {
            return fail("--independent gives " + std::to_string(given) +
                        " probabilities but -n is " + std::to_string(n));
        }
        n = n != 0 ? n : given;
    }
    command.n = static_cast<std::int32_t>(n);
    command.m = static_cast<std::int32_t>(m);
    if (n != 0 && intersectionCount(command.n, command.m) >= kCountTooLarge) {
        return fail("n=" + std::to_string(n) + ", m=" + std::to_string(m) +
                    " need more intersection probabilities than a 32-bit integer can count");
    }
    return command;
}

std::string probgenUsageText() {
    return R"(Usage: probgen -m M (--independent P1,P2,... | --data FILE.csv | -n N --mixture SEED
                      | -n N --clustered SEED | -n N --records SEED)
               [-n N] [--outcomes K] [--density D] [--group-size G] [--items K]
               [--output PATH]

Writes the probabilities of all intersections of 1 to M of N events, in the
order unionbound reads them (all single events, then all pairs, ..., each size
in lexicographic order), one number per line in full double precision, and
prints the probability of the union of the events they come from.

Sources (exactly one):
  --independent P1,P2,...  independent events with these probabilities; with
                           -n N a single value is used for all N events
  --data FILE.csv          observed 0/1 data: one row per observation, one
                           column per event, comma-separated, header optional;
                           the frequencies of the data and of its union
                           (- reads standard input)
  --mixture SEED           a random joint distribution of -n N events: an
                           outcome without events and K outcome vectors with
                           random weights; the same SEED gives the same file
                           on every machine
  --clustered SEED         -n N clustered events: groups of G consecutive
                           events, each with a hidden switch (on with a
                           chance of 0.02 to 0.2) given which its events occur
                           independently, each with a chance of 0.5 to 0.9
                           when on and 0.002 to 0.02 when off; every
                           intersection is positive, and the union stays
                           clearly below 1 for N up to about 30 (about 0.7 at
                           N = 30); the same SEED gives the same file on every
                           machine
  --records SEED           K synthetic items holding a few of -n N events
                           each, like the tags of items: skewed popularity,
                           events drawn from one or two hidden topics, so
                           that some pairs and triples never occur together;
                           tallied as --data tallies its rows; the same SEED
                           gives the same file on every machine

Options:
  -n N             the number of events (for --data: checked against the
                   columns)
  -m M             the largest intersection order written (required)
  --outcomes K     --mixture: outcome vectors besides the empty one
                   (default 20)
  --density D      --mixture: the largest share of events in one outcome
                   (default min(0.5, 6/N), so that outcomes stay small and the
                   bounds stay below 1)
  --group-size G   --clustered: the events in a group (default 4; the last
                   group holds those left)
  --items K        --records: the number of items (default 50000, at most
                   10000000)
  --output PATH    where to write (default prob.txt; - for standard output,
                   the closing lines then go to standard error)
  -h, --help       show this text and exit
  --version        show the version and exit

Exit status: 0 on success, 1 for bad data (the CSV file, an unwritable
output, too little memory), 2 for a usage error.

Examples:
  probgen -m 3 --independent 0.1,0.2,0.05,0.3,0.15,0.1,0.2,0.25
  probgen -m 3 --data observations.csv --output prob.txt
  probgen -n 60 -m 5 --mixture 7 --output bench-n60-m5.txt
  probgen -n 24 -m 4 --clustered 3 --group-size 6
  probgen -n 60 -m 3 --records 1 --items 100000
)";
}

int runProbgen(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    const Parsed<ProbgenCommand> parsed = parseProbgenCommand(words);
    if (!parsed.ok()) {
        err << "error: " << parsed.message() << '\n'
            << "Run \"probgen --help\" for the usage.\n"
            << std::flush;
        return kExitUsage;
    }
    const ProbgenCommand& command = parsed.value();
    switch (command.action) {
        case ProbgenCommand::Action::help:
            out << probgenUsageText() << std::flush;
            return kExitSuccess;
        case ProbgenCommand::Action::version:
            out << "probgen (unionbound) " << UNIONBOUND_VERSION << '\n' << std::flush;
            return kExitSuccess;
        case ProbgenCommand::Action::run:
            break;
    }

    std::int32_t n = command.n;
    Observations data;
    if (command.source == ProbgenCommand::Source::records) {
        data = buildingFor(
            "the " + std::to_string(command.items) + " items of " + std::to_string(n) + " events",
            [&] {
                return randomRecords({n, command.seed, command.items});
            });
    }
    if (command.source == ProbgenCommand::Source::data) {
        Parsed<Observations> read =
            buildingFor("the observations of \"" + command.dataPath + "\"",
                        [&] { return readObservations(command.dataPath); });
        if (!read.ok()) {
            err << "error: " << read.message() << std::endl;
            return kExitBadData;
        }
        data = std::move(read.value());
        if (n != 0 && n != data.events) {
            err << "error: \"" << command.dataPath << "\" has " << data.events
                << " columns (events) but -n is " << n << std::endl;
            return kExitBadData;
        }
        n = data.events;
        if (intersectionCount(n, command.m) >= kCountTooLarge) {
            err << "error: n=" << n << ", m=" << command.m
                << " need more intersection probabilities than a 32-bit integer can count"
                << std::endl;
            return kExitBadData;
        }
    }

    const bool toStandardOutput = command.outputPath == "-";
    // The output file replaces an earlier one only once complete.
    ReplacementFile file;
    if (!toStandardOutput && !file.open(command.outputPath)) {
        err << "error: cannot write \"" << command.outputPath
            << "\": " << std::strerror(file.error()) << std::endl;
        return kExitBadData;
    }
    std::ostream& target = toStandardOutput ? out : file.stream();
    std::ostream& closing = toStandardOutput ? err : out;

    std::string unionLine;
    std::int64_t written = 0;
    {
        ProbabilitySink sink(target);
        switch (command.source) {
            case ProbgenCommand::Source::independent: {
                RealVector probabilities = command.probabilities;
                if (probabilities.size() == 1) {
                    buildingFor("the probabilities of " + std::to_string(command.n) + " events",
                                [&] {
                                    probabilities.assign(static_cast<std::size_t>(command.n),
                                                         probabilities[0]);
                                });
                }
                writeIndependentProbabilities(probabilities, command.m, sink);
                unionLine = "Probability of the union: " +
                            shortestDecimal(independentUnionProbability(probabilities));
                break;
            }
            case ProbgenCommand::Source::data:
            case ProbgenCommand::Source::records: {
                const auto rows = static_cast<double>(data.rows);
                data.table.writeIntersectionWeights(command.m, rows, sink);
                unionLine =
                    "Empirical probability of the union: " + shortestDecimal(unionFrequency(data)) +
                    " (" + std::to_string(data.rowsWithAnEvent) + " of " +
                    std::to_string(data.rows) +
                    (command.source == ProbgenCommand::Source::data ? " observations)" : " items)");
                break;
            }
            case ProbgenCommand::Source::clustered: {
                const ClusteredEvents events = buildingFor(
                    "the probabilities of " + std::to_string(n) + " clustered events", [&] {
                        return randomClusteredEvents({n, command.seed, command.groupSize});
                    });
                writeClusteredProbabilities(events, command.m, sink);
                unionLine = "Probability of the union: " +
                            shortestDecimal(clusteredUnionProbability(events));
                break;
            }
            case ProbgenCommand::Source::mixture: {
                const double density =
                    command.density > 0.0 ? command.density : std::min(0.5, 6.0 / n);
                const OutcomeTable mixture = buildingFor(
                    "the " + std::to_string(command.outcomes) + " outcomes of " +
                        std::to_string(n) + " events",
                    [&] {
                        return randomMixture({n, command.seed, command.outcomes, density});
                    });
                mixture.writeIntersectionWeights(command.m, 1.0, sink);
                unionLine = "Probability of the union: " + shortestDecimal(mixture.unionWeight());
                break;
            }
            case ProbgenCommand::Source::none:
                break;
        }
        sink.flush();
        written = sink.count();
    }
    target.flush();
    const bool replaced = toStandardOutput || file.commit() == 0;
    if (!target || !replaced) {
        err << "error: writing \"" << command.outputPath << "\" failed" << std::endl;
        return kExitBadData;
    }
    closing << "Wrote " << written << " intersection probabilities for n=" << n
            << ", m=" << command.m << " to "
            << (toStandardOutput ? std::string("standard output")
                                 : "\"" + command.outputPath + "\"")
            << ".\n"
            << unionLine << '\n'
            << std::flush;
    return kExitSuccess;
}

}  // namespace unionbound
