#include "remoting/content_type.h"

namespace Velto {

namespace {

char LowerAscii(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

}  // namespace

bool HasContentTypePrefix(std::string_view text, std::string_view contentType) noexcept {
    if (text.size() < contentType.size()) {
        return false;
    }
    for (std::size_t i = 0; i < contentType.size(); ++i) {
        if (LowerAscii(text[i]) != LowerAscii(contentType[i])) {
            return false;
        }
    }
    return true;
}

BodyFormat ClassifyBodyContentType(std::string_view contentType) noexcept {
    if (HasContentTypePrefix(contentType, kContentTypeMessagePack)) {
        return BodyFormat::MessagePack;
    }
    if (HasContentTypePrefix(contentType, kContentTypeJson) ||
        HasContentTypePrefix(contentType, kContentTypeJsonApi)) {
        return BodyFormat::Json;
    }
    if (HasContentTypePrefix(contentType, kContentTypeYaml)) {
        return BodyFormat::Yaml;
    }
    return BodyFormat::Unsupported;
}

ArgumentValueFormat ClassifyArgumentContentType(std::string_view contentType) noexcept {
    // The "-ext" form needs no test of its own: it begins with the plain MessagePack type.
    if (HasContentTypePrefix(contentType, kContentTypeMessagePack)) {
        return ArgumentValueFormat::MessagePack;
    }
    if (HasContentTypePrefix(contentType, kContentTypeJson)) {
        return ArgumentValueFormat::Json;
    }
    if (HasContentTypePrefix(contentType, kContentTypeTextYaml)) {
        return ArgumentValueFormat::Yaml;
    }
    if (HasContentTypePrefix(contentType, kContentTypeOctetStream)) {
        return ArgumentValueFormat::Bytes;
    }
    return ArgumentValueFormat::Unspecified;
}

}  // namespace Velto
