// What the program's runs cannot show of the JSON record (the Python tests
// compare the rest with the module): the words of every stop, a value that
// is not finite, and the times added up.
#include "output/json_report.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <limits>
#include <sstream>

namespace unionbound {
namespace {

TEST(JsonReport, WritesEveryStopByItsWordNullForANumberNotFiniteAndTheTotalTime) {
    Result result;
    const std::pair<Stop, const char*> stops[] = {{Stop::none, "none"},
                                                  {Stop::timeLimit, "time_limit"},
                                                  {Stop::interrupted, "interrupted"},
                                                  {Stop::memoryPlan, "memory_plan"}};
    for (const auto& [stop, word] : stops) {
        MethodResult method;
        method.name = word;
        method.stop = stop;
        method.upper.value = std::numeric_limits<double>::quiet_NaN();
        method.seconds = 0.25;
        result.methods.push_back(method);
    }
    result.readingSeconds = 0.125;
    std::ostringstream out;
    writeJsonReport(out, {"1.2.3", "in.txt"}, result);
    ASSERT_EQ(out.str().back(), '\n');
    const nlohmann::json record = nlohmann::json::parse(out.str());
    for (const auto& [stop, word] : stops) {
        EXPECT_EQ(record["methods"][word]["stop"], word);
        EXPECT_EQ(record["methods"][word]["upper"]["value"], nullptr);
    }
    EXPECT_EQ(record["version"], "1.2.3");
    EXPECT_EQ(record["timings"]["total_seconds"].get<double>(), 1.125);
}

}  // namespace
}  // namespace unionbound
