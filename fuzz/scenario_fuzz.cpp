// Fuzzes the scenario parser of the test host and plugin-host, whose scenario files are written
// by hand: any text parses into steps or names its first bad line, without a crash, a hang or
// memory out of proportion. Steps keep the order and the lines of the text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "host/scenario.h"

namespace {

using Fuzz::Check;
using Velto::TestHost::Scenario;
using Velto::TestHost::ScenarioError;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t lines =
        static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    ScenarioError error;
    const std::optional<Scenario> scenario = Scenario::Parse(text, &error);
    if (!scenario) {
        Check(!error.reason.empty() && error.line <= lines);
        return 0;
    }
    std::size_t previous = 0;
    for (const Scenario::Step& step : scenario->Steps()) {
        Check(step.line > previous && step.line <= lines && step.action != nullptr);
        previous = step.line;
    }
    return 0;
}
