#include "output/json_report.hpp"

#include <nlohmann/json.hpp>

namespace unionbound {

namespace {

using Json = nlohmann::ordered_json;

Json textOrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

Json numberOrNull(const std::optional<double>& value) {
    return value ? Json(*value) : Json(nullptr);
}

Json boundOf(const Bound& bound) {
    return {{"value", numberOrNull(bound.value)},
            {"proven", bound.proven},
            {"why", textOrNull(bound.why)},
            {"distance", numberOrNull(bound.distance)},
            {"l", bound.pass > 0 ? Json(bound.pass) : Json(nullptr)}};
}

Json partsOf(const std::vector<NamedBound>& parts) {
    Json list = Json::array();
    for (const NamedBound& part : parts) {
        list.push_back(
            {{"name", part.name}, {"formula", part.formula}, {"value", numberOrNull(part.value)}});
    }
    return list;
}

Json methodOf(const MethodResult& method) {
    Json passes = Json::array();
    for (const PassBounds& pass : method.passes) {
        passes.push_back({{"l", pass.l},
                          {"q", pass.q},
                          {"upper", boundOf(pass.upper)},
                          {"lower", boundOf(pass.lower)},
                          {"seconds", numberOrNull(pass.seconds)}});
    }
    return {{"upper", boundOf(method.upper)},
            {"lower", boundOf(method.lower)},
            {"stop", stopName(method.stop)},
            {"seconds", method.seconds},
            {"passes", std::move(passes)},
            {"upper_parts", partsOf(method.upperParts)},
            {"lower_parts", partsOf(method.lowerParts)}};
}

}  // namespace

const char* stopName(Stop stop) {
    switch (stop) {
        case Stop::timeLimit:
            return "time_limit";
        case Stop::interrupted:
            return "interrupted";
        case Stop::memoryPlan:
            return "memory_plan";
        case Stop::none:
            break;
    }
    return "none";
}

void writeJsonReport(std::ostream& out, const JsonRun& run, const Result& result) {
    Json methods = Json::object();
    double methodSeconds = 0.0;
    for (const MethodResult& method : result.methods) {
        methods[method.name] = methodOf(method);
        methodSeconds += method.seconds;
    }
    Json leftOut = Json::array();
    for (const LeftOut& left : result.leftOut) {
        leftOut.push_back({{"method", left.method}, {"why", left.why}});
    }
    const Json record = {
        {"program", "unionbound"},
        {"version", run.version},
        {"problem", {{"n", result.n}, {"m", result.m}, {"input", run.input}}},
        {"best",
         {{"lower", boundOf(result.best.lower)},
          {"upper", boundOf(result.best.upper)},
          {"lower_method", textOrNull(result.best.lowerMethod)},
          {"upper_method", textOrNull(result.best.upperMethod)}}},
        {"methods", std::move(methods)},
        {"left_out", std::move(leftOut)},
        {"consistency", {{"pairs_checked", result.consistency.pairsChecked}}},
        {"timings",
         {{"reading_seconds", result.readingSeconds},
          {"total_seconds", result.readingSeconds + methodSeconds}}},
    };
    // Replacement characters for bytes that are no UTF-8 (a file name, say),
    // rather than an exception.
    out << record.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace unionbound
