// The core of the Python module, over the library's public API alone: the
// bounds of probabilities given in memory, the probabilities of observed 0/1
// data, and the result's types. The package around it (unionbound/) gives
// the functions their documented signatures and the picture.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "unionbound/observations.hpp"
#include "unionbound/unionbound.hpp"

#ifndef UNIONBOUND_VERSION
#define UNIONBOUND_VERSION "unknown"
#endif

namespace py = pybind11;

namespace {

using unionbound::Bound;
using unionbound::MethodResult;
using unionbound::ObservedProbabilities;
using unionbound::Result;

// The result of bounds(): the library's, and for data given as observations
// the probabilities that came from them.
struct Bounds {
    Result result;
    std::optional<ObservedProbabilities> observations;
};

// One pass of the methods that work pass by pass, side by side, as the
// program's CSV file has it.
struct PassRow {
    std::int32_t l = 0;
    std::int32_t q = 0;
    std::optional<double> aggregation;  // the pass's structured upper bound
    std::optional<double> exactUpper;
    std::optional<double> exactLower;
    std::optional<double> seconds;  // processor time of the structured pass
};

// The same words as the program's --json.
const char* stopName(unionbound::Stop stop) {
    switch (stop) {
        case unionbound::Stop::timeLimit:
            return "time_limit";
        case unionbound::Stop::interrupted:
            return "interrupted";
        case unionbound::Stop::memoryPlan:
            return "memory_plan";
        case unionbound::Stop::none:
            break;
    }
    return "none";
}

std::optional<std::string> textOrNone(const std::string& text) {
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

// A number with 15 significant digits, as the program's summary shows it.
std::string shown(const std::optional<double>& value) {
    if (!value) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", *value);
    return text;
}

// The rows in increasing l, as the program's CSV file has them: one per
// pass of either method (where one stopped early, the other's later passes
// have rows of their own).
std::vector<PassRow> passRowsOf(const Result& result) {
    std::vector<PassRow> rows;
    const auto rowOf = [&rows](const unionbound::PassBounds& pass) -> PassRow& {
        auto row =
            std::find_if(rows.begin(), rows.end(), [&](const PassRow& r) { return r.l >= pass.l; });
        if (row == rows.end() || row->l != pass.l) {
            PassRow added;
            added.l = pass.l;
            added.q = pass.q;
            row = rows.insert(row, added);
        }
        return *row;
    };
    if (const MethodResult* aggregation = result.method(unionbound::method::aggregation)) {
        for (const unionbound::PassBounds& pass : aggregation->passes) {
            PassRow& row = rowOf(pass);
            row.aggregation = pass.upper.value;
            row.seconds = pass.seconds;
        }
    }
    if (const MethodResult* exact = result.method(unionbound::method::exact)) {
        for (const unionbound::PassBounds& pass : exact->passes) {
            PassRow& row = rowOf(pass);
            row.exactUpper = pass.upper.value;
            row.exactLower = pass.lower.value;
        }
    }
    return rows;
}

std::string resultRepr(const Result& result) {
    return "<unionbound.Result n=" + std::to_string(result.n) + " m=" + std::to_string(result.m) +
           ": [" + shown(result.best.lower.value) + ", " + shown(result.best.upper.value) + "]>";
}

// The interval, who gives each side, and one line per method.
std::string resultText(const Result& result) {
    const unionbound::Interval& best = result.best;
    const auto side = [](const Bound& bound, const std::string& method) {
        return shown(bound.value) + (method.empty() ? "" : " (" + method + ")") +
               (bound.proven ? ", proven" : "");
    };
    std::string text = "P(union) in [" + shown(best.lower.value) + ", " + shown(best.upper.value) +
                       "] for n=" + std::to_string(result.n) + ", m=" + std::to_string(result.m) +
                       "\n  lower: " + side(best.lower, best.lowerMethod) +
                       "\n  upper: " + side(best.upper, best.upperMethod) + "\n";
    const auto padded = [](std::string s, std::size_t width) {
        s.resize(std::max(width, s.size() + 1), ' ');
        return s;
    };
    text += "  " + padded("method", 13) + padded("lower", 20) + "upper\n";
    for (const MethodResult& method : result.methods) {
        text += "  " + padded(method.name, 13) + padded(shown(method.lower.value), 20) +
                shown(method.upper.value) +
                (method.upper.proven || method.lower.proven ? "  (proven)" : "") +
                (method.stop != unionbound::Stop::none
                     ? std::string("  [stopped: ") + stopName(method.stop) + "]"
                     : "") +
                "\n";
    }
    for (const unionbound::LeftOut& left : result.leftOut) {
        text += "  " + padded(left.method, 13) + "not run: " + left.why + "\n";
    }
    text.pop_back();
    return text;
}

// A refusal of the library as the Python exception that fits it.
[[noreturn]] void raise(const unionbound::Error& error) {
    switch (error.kind) {
        case unionbound::ErrorKind::badInput:
        case unionbound::ErrorKind::inconsistent:
            throw py::value_error(error.message);
        case unionbound::ErrorKind::outOfMemory:
            PyErr_SetString(PyExc_MemoryError, error.message.c_str());
            throw py::error_already_set();
        case unionbound::ErrorKind::failed:
            break;
    }
    throw std::runtime_error(error.message);
}

// The options of a call, checked as the program checks its own.
unionbound::Options optionsOf(std::int64_t n, std::int64_t m,
                              const std::optional<std::vector<std::string>>& methods,
                              std::optional<double> timeLimit,
                              std::optional<std::int64_t> threads) {
    unionbound::Options options;
    if (methods) {
        options.methods = *methods;
    } else {
        options.methods = unionbound::methodsFor(n, m);
        if (options.methods.empty()) {
            // Asked for every method, the engine says why none can run.
            options.methods = {std::string(unionbound::method::exact),
                               std::string(unionbound::method::sharpest),
                               std::string(unionbound::method::aggregation)};
        }
    }
    if (timeLimit) {
        if (std::isnan(*timeLimit) || *timeLimit < 0.0) {
            throw py::value_error("time_limit (seconds) must be at least 0, not " +
                                  py::repr(py::float_(*timeLimit)).cast<std::string>());
        }
        if (std::isfinite(*timeLimit)) {
            options.timeLimit = *timeLimit;
        }
    }
    constexpr std::int64_t kMostThreads = 256;
    if (threads && (*threads < 1 || *threads > kMostThreads)) {
        throw py::value_error("threads must be a whole number from 1 to " +
                              std::to_string(kMostThreads) + ", not " + std::to_string(*threads));
    }
    options.threads = threads ? static_cast<std::int32_t>(*threads) : 0;
    return options;
}

using Probabilities = py::array_t<double, py::array::c_style | py::array::forcecast>;

// The bounds of the problem, computed with the interpreter released; the
// progress callback and the check for Ctrl-C take it back. An exception the
// callback raises (or Ctrl-C's KeyboardInterrupt) stops the methods and is
// raised here once they have ended.
Bounds computeBounds(const Probabilities& probabilities, std::int64_t n, std::int64_t m,
                     const std::optional<std::vector<std::string>>& methods,
                     std::optional<double> timeLimit, std::optional<std::int64_t> threads,
                     const py::object& progress,
                     std::optional<ObservedProbabilities> observations) {
    if (probabilities.ndim() != 1) {
        throw py::value_error("the probabilities must be one-dimensional, in the subset order");
    }
    unionbound::Options options = optionsOf(n, m, methods, timeLimit, threads);
    std::vector<double> values(probabilities.data(), probabilities.data() + probabilities.size());
    std::optional<py::error_already_set> raised;
    if (!progress.is_none()) {
        options.progress = [&](const unionbound::Progress& now) {
            if (raised) {
                return;
            }
            const py::gil_scoped_acquire held;
            try {
                progress(now);
            } catch (py::error_already_set& error) {
                raised.emplace(std::move(error));
            }
        };
    }
    options.stopRequested = [&raised] {
        if (raised) {
            return true;
        }
        const py::gil_scoped_acquire held;
        if (PyErr_CheckSignals() != 0) {
            raised.emplace();
        }
        return raised.has_value();
    };
    std::optional<unionbound::Expected<Result>> found;
    {
        const py::gil_scoped_release released;
        found.emplace(unionbound::bounds(
            unionbound::Problem::fromProbabilities(n, m, std::move(values)), options));
    }
    if (raised) {
        py::error_already_set error = std::move(*raised);
        raised.reset();
        throw error;
    }
    if (!found->ok()) {
        raise(found->error());
    }
    return Bounds{std::move(found->value()), std::move(observations)};
}

ObservedProbabilities fromObservations(
    const py::array_t<std::uint8_t, py::array::c_style | py::array::forcecast>& cells,
    std::int64_t m) {
    if (cells.ndim() != 2) {
        throw py::value_error(
            "the observations must be a two-dimensional 0/1 matrix, one row per observation");
    }
    const auto events = static_cast<std::int64_t>(cells.shape(1));
    std::optional<unionbound::Expected<ObservedProbabilities>> observed;
    {
        const py::gil_scoped_release released;
        observed.emplace(unionbound::probabilitiesFromObservations(
            events, m,
            std::span<const std::uint8_t>(cells.data(), static_cast<std::size_t>(cells.size()))));
    }
    if (!observed->ok()) {
        raise(observed->error());
    }
    return std::move(observed->value());
}

// A read-only array over `values`, which `owner` keeps alive.
py::array readOnlyArray(const std::vector<double>& values, const py::object& owner) {
    py::array array(py::dtype::of<double>(), {static_cast<py::ssize_t>(values.size())},
                    {static_cast<py::ssize_t>(sizeof(double))}, values.data(), owner);
    array.attr("flags").attr("writeable") = false;
    return array;
}

}  // namespace

PYBIND11_MODULE(_core, module) {
    module.doc() = "The compiled core of the unionbound package; use the package itself.";
    module.attr("__version__") = UNIONBOUND_VERSION;

    py::class_<Bound>(module, "Bound", "One bound on the probability of the union.")
        .def_property_readonly(
            "value", [](const Bound& b) { return b.value; }, "The value, or None (see why).")
        .def_property_readonly(
            "proven", [](const Bound& b) { return b.proven; },
            "True when the value is certified, every rounding accounted for.")
        .def_property_readonly(
            "why", [](const Bound& b) { return textOrNone(b.why); },
            "Why there is no value (or what limits it); None when nothing is to be said.")
        .def_property_readonly(
            "distance", [](const Bound& b) { return b.distance; },
            "How far a proven value may lie from the best its method can give, where known.")
        .def_property_readonly(
            "l",
            [](const Bound& b) {
                return b.pass > 0 ? std::optional<std::int32_t>(b.pass) : std::nullopt;
            },
            "The subsequence length of the pass that gives it; None for methods without passes.")
        .def("__repr__", [](const Bound& b) {
            std::string text = "Bound(" + shown(b.value);
            text += b.proven ? ", proven" : "";
            text += b.pass > 0 ? ", l=" + std::to_string(b.pass) : "";
            text += !b.value && !b.why.empty()
                        ? ", why=" + py::repr(py::str(b.why)).cast<std::string>()
                        : "";
            return text + ")";
        });

    py::class_<unionbound::PassBounds>(module, "Pass",
                                       "One pass of a method: l events a subsequence.")
        .def_readonly("l", &unionbound::PassBounds::l)
        .def_readonly("q", &unionbound::PassBounds::q)
        .def_readonly("upper", &unionbound::PassBounds::upper)
        .def_readonly("lower", &unionbound::PassBounds::lower)
        .def_readonly("seconds", &unionbound::PassBounds::seconds)
        .def("__repr__", [](const unionbound::PassBounds& p) {
            return "Pass(l=" + std::to_string(p.l) + ", q=" + std::to_string(p.q) +
                   ", lower=" + shown(p.lower.value) + ", upper=" + shown(p.upper.value) + ")";
        });

    py::class_<unionbound::NamedBound>(module, "NamedBound",
                                       "A classical bound by its name and formula.")
        .def_readonly("name", &unionbound::NamedBound::name)
        .def_readonly("formula", &unionbound::NamedBound::formula)
        .def_readonly("value", &unionbound::NamedBound::value)
        .def("__repr__", [](const unionbound::NamedBound& b) {
            return "NamedBound(" + py::repr(py::str(b.name)).cast<std::string>() + ", " +
                   shown(b.value) + ")";
        });

    py::class_<MethodResult>(module, "MethodResult", "What one method found.")
        .def_readonly("name", &MethodResult::name)
        .def_readonly("upper", &MethodResult::upper)
        .def_readonly("lower", &MethodResult::lower)
        .def_readonly("passes", &MethodResult::passes)
        .def_readonly("upper_parts", &MethodResult::upperParts)
        .def_readonly("lower_parts", &MethodResult::lowerParts)
        .def_property_readonly(
            "stop", [](const MethodResult& r) { return stopName(r.stop); },
            "Why it ended early: 'none', 'time_limit', 'interrupted' or 'memory_plan'.")
        .def_readonly("seconds", &MethodResult::seconds, "Wall-clock seconds it ran.")
        .def("__repr__", [](const MethodResult& r) {
            return "<MethodResult " + r.name + ": [" + shown(r.lower.value) + ", " +
                   shown(r.upper.value) + "]>";
        });

    py::class_<PassRow>(module, "PassRow", "One pass of every method that works pass by pass.")
        .def_readonly("l", &PassRow::l)
        .def_readonly("q", &PassRow::q)
        .def_readonly("aggregation", &PassRow::aggregation)
        .def_readonly("exact_upper", &PassRow::exactUpper)
        .def_readonly("exact_lower", &PassRow::exactLower)
        .def_readonly("seconds", &PassRow::seconds)
        .def("__repr__", [](const PassRow& r) {
            return "PassRow(l=" + std::to_string(r.l) + ", aggregation=" + shown(r.aggregation) +
                   ", exact=[" + shown(r.exactLower) + ", " + shown(r.exactUpper) + "])";
        });

    py::class_<unionbound::Consistency>(module, "Consistency",
                                        "What was checked of the data before the bounds.")
        .def_readonly("pairs_checked", &unionbound::Consistency::pairsChecked);

    py::class_<unionbound::Interval>(module, "Interval", "The best bounds over all methods.")
        .def_readonly("lower", &unionbound::Interval::lower)
        .def_readonly("upper", &unionbound::Interval::upper)
        .def_property_readonly(
            "lower_method", [](const unionbound::Interval& i) { return textOrNone(i.lowerMethod); })
        .def_property_readonly("upper_method", [](const unionbound::Interval& i) {
            return textOrNone(i.upperMethod);
        });

    py::class_<unionbound::Progress>(module, "Progress", "How far a computation has come.")
        .def_readonly("stage", &unionbound::Progress::stage)
        .def_readonly("done", &unionbound::Progress::done)
        .def_readonly("total", &unionbound::Progress::total)
        .def_readonly("text", &unionbound::Progress::text)
        .def("__repr__", [](const unionbound::Progress& p) { return "Progress(" + p.text + ")"; });

    py::class_<ObservedProbabilities>(module, "Observations",
                                      "Intersection probabilities of observed 0/1 data.")
        .def_readonly("n", &ObservedProbabilities::n)
        .def_readonly("m", &ObservedProbabilities::m)
        .def_property_readonly(
            "probabilities",
            [](const py::object& self) {
                return readOnlyArray(self.cast<const ObservedProbabilities&>().probabilities, self);
            },
            "The frequencies of the intersections, in the subset order (read-only).")
        .def_readonly("observations", &ObservedProbabilities::observations)
        .def_readonly("observations_with_an_event", &ObservedProbabilities::observationsWithAnEvent)
        .def_readonly("union", &ObservedProbabilities::unionProbability,
                      "The empirical probability of the union.")
        .def("__repr__", [](const ObservedProbabilities& o) {
            return "<unionbound.Observations n=" + std::to_string(o.n) +
                   " m=" + std::to_string(o.m) + ": " + std::to_string(o.probabilities.size()) +
                   " probabilities from " + std::to_string(o.observations) +
                   " observations, union " + shown(o.unionProbability) + ">";
        });

    py::class_<Bounds>(module, "Result", "Every bound found, and the best interval.")
        .def_property_readonly("n", [](const Bounds& b) { return b.result.n; })
        .def_property_readonly("m", [](const Bounds& b) { return b.result.m; })
        .def_property_readonly(
            "lower", [](const Bounds& b) { return b.result.best.lower.value; },
            "The largest lower bound of all methods (None if none gave one).")
        .def_property_readonly(
            "upper", [](const Bounds& b) { return b.result.best.upper.value; },
            "The smallest upper bound of all methods (None if none gave one).")
        .def_property_readonly(
            "lower_method", [](const Bounds& b) { return textOrNone(b.result.best.lowerMethod); })
        .def_property_readonly(
            "upper_method", [](const Bounds& b) { return textOrNone(b.result.best.upperMethod); })
        .def_property_readonly(
            "interval",
            [](const Bounds& b) {
                return std::make_pair(b.result.best.lower.value, b.result.best.upper.value);
            },
            "(lower, upper).")
        .def_property_readonly(
            "best", [](const Bounds& b) { return b.result.best; },
            "Both sides as Bound objects, with the method of each.")
        .def_property_readonly(
            "methods",
            [](const Bounds& b) {
                py::dict methods;
                for (const MethodResult& method : b.result.methods) {
                    methods[py::str(method.name)] = py::cast(method);
                }
                return methods;
            },
            "Each method that ran, by name, in the order they ran.")
        .def_property_readonly(
            "left_out",
            [](const Bounds& b) {
                py::dict leftOut;
                for (const unionbound::LeftOut& left : b.result.leftOut) {
                    leftOut[py::str(left.method)] = left.why;
                }
                return leftOut;
            },
            "The methods asked for that these sizes leave out, with the reason.")
        .def_property_readonly(
            "passes", [](const Bounds& b) { return passRowsOf(b.result); },
            "One row per pass: the aggregation bound and the exact bounds of each l.")
        .def_property_readonly("consistency", [](const Bounds& b) { return b.result.consistency; })
        .def_property_readonly("reading_seconds",
                               [](const Bounds& b) { return b.result.readingSeconds; })
        .def_property_readonly(
            "observations", [](const Bounds& b) { return b.observations; },
            "The observed data the probabilities came from (bounds_from_observations), or None.")
        .def("__repr__", [](const Bounds& b) { return resultRepr(b.result); })
        .def("__str__", [](const Bounds& b) { return resultText(b.result); });

    module.def("bounds", &computeBounds, py::arg("probabilities"), py::arg("n"), py::arg("m"),
               py::arg("methods"), py::arg("time_limit"), py::arg("threads"), py::arg("progress"),
               py::arg("observations"));
    module.def("from_observations", &fromObservations, py::arg("cells"), py::arg("m"));
    module.def("methods_for", &unionbound::methodsFor, py::arg("n"), py::arg("m"));
}
