// The content types the remoting layer knows, and how a received content type is classified.
//
// A known type matches when it is a case-insensitive prefix of the received text, so parameters
// after it (such as a charset) do not matter. Every function accepts any text, the empty one
// included.
#pragma once

#include <cstdint>
#include <string_view>

namespace Velto {

inline constexpr std::string_view kContentTypeJson = "application/json";
inline constexpr std::string_view kContentTypeJsonApi = "application/vnd.api+json";
inline constexpr std::string_view kContentTypeYaml = "application/x-yaml";
inline constexpr std::string_view kContentTypeTextYaml = "text/x-yaml";
inline constexpr std::string_view kContentTypeMessagePack = "application/x-msgpack";
inline constexpr std::string_view kContentTypeMessagePackExt = "application/x-msgpack-ext";
inline constexpr std::string_view kContentTypeOctetStream = "application/octet-stream";

// Whether `text` begins with `contentType`, ignoring ASCII case.
bool HasContentTypePrefix(std::string_view text, std::string_view contentType) noexcept;

// How a request body is decoded.
enum class BodyFormat : uint32_t {
    Unsupported = 0,
    Json = 1,
    Yaml = 2,
    MessagePack = 3,
};

// MessagePack for "application/x-msgpack...", JSON for "application/json" and
// "application/vnd.api+json", YAML for "application/x-yaml"; anything else, "text/x-yaml"
// included, is unsupported.
BodyFormat ClassifyBodyContentType(std::string_view contentType) noexcept;

// How a named argument value (from the path, the query or a header) is decoded when its content
// type is given explicitly.
enum class ArgumentValueFormat : uint32_t {
    Unspecified = 0,  // no known type: detected from the text, or kept as text
    Json = 1,
    Yaml = 2,
    MessagePack = 3,
    Bytes = 4,  // taken as raw bytes (a blob)
};

// MessagePack for "application/x-msgpack..." (the "-ext" form included), JSON for
// "application/json", YAML for "text/x-yaml", bytes for "application/octet-stream", in that
// order; anything else is unspecified.
ArgumentValueFormat ClassifyArgumentContentType(std::string_view contentType) noexcept;

}  // namespace Velto
