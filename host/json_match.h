// Comparing two JSON texts as values, for the expectations of scenarios.
//
// Values match when they are equal as JSON values: objects have the same member names (in any
// order) with matching values, arrays the same length with matching items in order, numbers the
// same value however they are written (1 and 1.0 match), texts the same bytes. The expected text
// "*" (a JSON string holding one asterisk) matches any value, so that a value that depends on the
// clock can be left open: {"time": "*"} matches an object with one member "time" of any value.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Velto::TestHost {

// Empty when `actual` matches `expected`; otherwise where and how the first difference shows,
// e.g. `at data.count: expected 3, got 4` or `at data: no member "count"`. A text that is not
// one JSON value is a difference too.
std::optional<std::string> JsonMismatch(std::string_view expected, std::string_view actual);

}  // namespace Velto::TestHost
