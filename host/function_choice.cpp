#include "host/function_choice.h"

namespace Velto::TestHost {
namespace {

bool MethodFits(const FunctionDescription& function, const RecordedRequest& request) {
    if (function.method == 0) {
        return true;
    }
    return function.method == request.method &&
           (function.method != 8 || function.customMethod == request.customMethod);
}

bool IsAddressed(const FunctionDescription& function, std::string_view path) {
    return function.route.empty() ? function.name == path : RouteMatches(function.route, path);
}

}  // namespace

bool RouteMatches(std::string_view route, std::string_view path) {
    const std::size_t open = route.find('{');
    const std::string_view literal = route.substr(0, open);
    if (!path.starts_with(literal)) {
        return false;
    }
    path.remove_prefix(literal.size());
    if (open == std::string_view::npos) {
        return path.empty();
    }
    const std::size_t close = route.find('}', open);
    if (close == std::string_view::npos) {
        return false;
    }
    const char operation = route[open + 1];
    const std::string_view rest = route.substr(close + 1);
    if (operation == '#') {
        if (!path.starts_with('#')) {
            return false;
        }
        path.remove_prefix(1);
    }
    // Tries every length the placeholder may take, shortest first.
    const bool crossesSlashes = operation == '+' || operation == '#';
    for (std::size_t length = 0; length <= path.size(); ++length) {
        if (RouteMatches(rest, path.substr(length))) {
            return true;
        }
        if (length < path.size() && path[length] == '/' && !crossesSlashes) {
            return false;
        }
    }
    return false;
}

std::optional<std::size_t> ChooseFunction(const std::vector<FunctionDescription>& functions,
                                          const RecordedRequest& request,
                                          std::string_view function) {
    if (!function.empty()) {
        for (std::size_t i = 0; i < functions.size(); ++i) {
            if (functions[i].name == function) {
                return i;
            }
        }
        return std::nullopt;
    }
    const std::string_view path = std::string_view(request.path).substr(0, request.path.find('?'));
    std::optional<std::size_t> addressedOnly;
    for (std::size_t i = 0; i < functions.size(); ++i) {
        if (!IsAddressed(functions[i], path)) {
            continue;
        }
        if (MethodFits(functions[i], request)) {
            return i;
        }
        if (!addressedOnly.has_value()) {
            addressedOnly = i;
        }
    }
    return addressedOnly;
}

}  // namespace Velto::TestHost
