#include "app/console_input.hpp"

#include <cctype>
#include <cstdint>
#include <iomanip>
#include <string>

#include "text/numbers.hpp"
#include "text/shown_word.hpp"

namespace unionbound {

namespace {

// Reads one white-space separated word for `name` and takes it as a whole
// number.
Parsed<std::int64_t> readNumber(std::istream& in, const char* name, const char* meaning) {
    std::string word;
    if (!(in >> std::setw(kLongestConsoleWord) >> word)) {
        return refuse(std::string("the input ended before ") + name + " (" + meaning +
                      ") was typed");
    }
    const int next = in.peek();
    const bool cut = static_cast<std::streamsize>(word.size()) == kLongestConsoleWord &&
                     next != std::char_traits<char>::eof() &&
                     !std::isspace(static_cast<unsigned char>(next));
    const std::string named = std::string(name) + " (" + meaning + ") ";
    const std::string shown = "\"" + shownWord(word) + "\"";
    if (cut) {
        return refuse(named + shown + " is longer than " + std::to_string(kLongestConsoleWord) +
                      " characters: not a number to count with");
    }
    Parsed<std::int64_t> number = parseWholeNumber(word);
    if (number.ok()) {
        return number;
    }
    if (hasWholeNumberForm(word)) {
        return refuse(named + shown + " " + number.message());
    }
    return refuse(named + "must be a whole number, not " + shown);
}

}  // namespace

Parsed<ProblemSize> askEventsAndOrder(std::istream& in, std::ostream& out) {
    out << "Number of events. n=" << std::flush;
    const Parsed<std::int64_t> n = readNumber(in, "n", "the number of events");
    if (!n.ok()) {
        return refuse(n.message());
    }
    if (const Parsed<std::int32_t> events = checkEvents(n.value()); !events.ok()) {
        return refuse(events.message());
    }
    out << "Maximum order of the intersections (must be an odd number). m=" << std::flush;
    const Parsed<std::int64_t> m = readNumber(in, "m", "the maximum order of the intersections");
    if (!m.ok()) {
        return refuse(m.message());
    }
    return checkOrder(n.value(), m.value());
}

}  // namespace unionbound
