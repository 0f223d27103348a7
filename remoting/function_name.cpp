#include "remoting/function_name.h"

#include "diagnostics/format.h"

namespace Velto {

namespace {

char UpperAscii(char c) noexcept {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

char LowerAscii(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool IsWordBreak(char c) noexcept {
    return c == '!' || c == '+' || c == '-' || c == '.' || c == '/' || c == '_';
}

// "GET" as "Get": the first letter kept, the rest in lower case.
std::string MethodWord(HttpMethod method) {
    std::string word = MethodName(method);
    for (std::size_t i = 1; i < word.size(); ++i) {
        word[i] = LowerAscii(word[i]);
    }
    return word;
}

}  // namespace

std::string FunctionNameFromRoute(HttpMethod method, std::string_view path) {
    const std::string text = Format("%1/%2", MethodWord(method), path);
    std::string name;
    name.reserve(text.size() + 16);
    bool capitalizeNext = true;
    for (const char c : text) {
        if (IsWordBreak(c)) {
            capitalizeNext = true;
        } else if (c == '{') {
            name += "By";
            capitalizeNext = true;
        } else if (c != '}') {
            name.push_back(capitalizeNext ? UpperAscii(c) : c);
            capitalizeNext = false;
        }
    }
    return name;
}

}  // namespace Velto
