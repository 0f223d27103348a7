// Helpers the host's tests share: transcript lines looked for, and JSON transcript lines read.
#pragma once

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <string>
#include <vector>

namespace Velto::TestHost::Testing {

inline bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// "line call" of each JSON transcript line, e.g. "return SendRequest". A line that is not an
// object with "line", "from" and "call" fails the test and reads as "malformed".
inline std::vector<std::string> JsonCalls(const std::vector<std::string>& lines) {
    std::vector<std::string> calls;
    for (const std::string& line : lines) {
        rapidjson::Document document;
        document.Parse(line.c_str());
        const bool wellFormed = !document.HasParseError() && document.IsObject() &&
                                document.HasMember("line") && document.HasMember("from") &&
                                document.HasMember("call");
        EXPECT_TRUE(wellFormed) << line;
        calls.push_back(wellFormed ? std::string(document["line"].GetString()) + " " +
                                         document["call"].GetString()
                                   : "malformed");
    }
    return calls;
}

}  // namespace Velto::TestHost::Testing
