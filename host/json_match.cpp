#include "host/json_match.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "host/transcript.h"

namespace Velto::TestHost {
namespace {

using rapidjson::Value;

constexpr unsigned kParseFlags = rapidjson::kParseFullPrecisionFlag;

std::string Compact(const Value& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

std::string At(const std::string& path) {
    return path.empty() ? "at the top" : "at " + path;
}

bool IsWildcard(const Value& value) {
    return value.IsString() && std::string_view(value.GetString(), value.GetStringLength()) == "*";
}

std::optional<std::string> Mismatch(const Value& expected, const Value& actual,
                                    const std::string& path);

std::optional<std::string> ObjectMismatch(const Value& expected, const Value& actual,
                                          const std::string& path) {
    for (const auto& member : expected.GetObject()) {
        const std::string name(member.name.GetString(), member.name.GetStringLength());
        const auto found = actual.FindMember(member.name);
        if (found == actual.MemberEnd()) {
            return At(path) + ": no member " + QuoteJson(name);
        }
        const std::string inner = path.empty() ? name : path + "." + name;
        if (std::optional<std::string> mismatch = Mismatch(member.value, found->value, inner)) {
            return mismatch;
        }
    }
    for (const auto& member : actual.GetObject()) {
        if (!expected.HasMember(member.name)) {
            return At(path) + ": unexpected member " +
                   QuoteJson(
                       std::string_view(member.name.GetString(), member.name.GetStringLength()));
        }
    }
    return std::nullopt;
}

std::optional<std::string> ArrayMismatch(const Value& expected, const Value& actual,
                                         const std::string& path) {
    if (expected.Size() != actual.Size()) {
        return At(path) + ": expected " + std::to_string(expected.Size()) + " items, got " +
               std::to_string(actual.Size());
    }
    for (rapidjson::SizeType i = 0; i < expected.Size(); ++i) {
        const std::string inner = path + "[" + std::to_string(i) + "]";
        if (std::optional<std::string> mismatch = Mismatch(expected[i], actual[i], inner)) {
            return mismatch;
        }
    }
    return std::nullopt;
}

std::optional<std::string> Mismatch(const Value& expected, const Value& actual,
                                    const std::string& path) {
    if (IsWildcard(expected)) {
        return std::nullopt;
    }
    if (expected.IsObject() && actual.IsObject()) {
        return ObjectMismatch(expected, actual, path);
    }
    if (expected.IsArray() && actual.IsArray()) {
        return ArrayMismatch(expected, actual, path);
    }
    if (expected == actual) {
        return std::nullopt;
    }
    return At(path) + ": expected " + Compact(expected) + ", got " + Compact(actual);
}

}  // namespace

std::optional<std::string> JsonMismatch(std::string_view expected, std::string_view actual) {
    rapidjson::Document expectedValue;
    rapidjson::Document actualValue;
    expectedValue.Parse<kParseFlags>(expected.data(), expected.size());
    actualValue.Parse<kParseFlags>(actual.data(), actual.size());
    if (expectedValue.HasParseError()) {
        return "the expected text is not JSON";
    }
    if (actualValue.HasParseError()) {
        return "the text is not JSON";
    }
    return Mismatch(expectedValue, actualValue, "");
}

}  // namespace Velto::TestHost
