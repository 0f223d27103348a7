#include "host/scenario_words.h"

#include "host/transcript.h"

namespace Velto::TestHost {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<std::string_view> Arguments::NextWord() {
    if (rest_.empty()) {
        return std::nullopt;
    }
    std::size_t end = 0;
    while (end < rest_.size() && !IsBlank(rest_[end])) {
        ++end;
    }
    const std::string_view word = rest_.substr(0, end);
    rest_ = Trim(rest_.substr(end));
    return word;
}

std::optional<std::string_view> Arguments::NextQuoted() {
    if (rest_.empty() || rest_.front() != '"') {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < rest_.size(); ++i) {
        if (rest_[i] == '\\') {
            ++i;
        } else if (rest_[i] == '"') {
            const std::string_view literal = rest_.substr(0, i + 1);
            rest_ = Trim(rest_.substr(i + 1));
            return literal;
        }
    }
    return std::nullopt;
}

bool NoMoreArguments(Arguments& arguments, std::string* reason) {
    if (arguments.AtEnd()) {
        return true;
    }
    *reason = "unexpected argument " + QuoteJson(*arguments.NextWord());
    return false;
}

bool ParseJsonRest(Arguments& arguments, HostValueTree* value, std::string* reason) {
    if (arguments.AtEnd()) {
        *reason = "missing JSON value";
        return false;
    }
    std::string error;
    std::optional<HostValueTree> parsed = HostValueTree::FromJson(arguments.Rest(), &error);
    if (!parsed.has_value()) {
        *reason = "bad JSON value: " + error;
        return false;
    }
    *value = std::move(*parsed);
    return true;
}

}  // namespace Velto::TestHost
