// A whole host call with a fuzzed request against a module whose functions take arguments of
// several kinds (scalars, an optional, a record, a vector, a dynamic object, a body, a header and
// the transport request). The input is lines of text:
//     <function index> <method code>
//     <path, query included>
//     <content type>
//     H <name>=<value>          a header (any number)
//     A <name>=<JSON>           a named direct argument; "A =<JSON>" a positional one
//     B                         the rest of the input after this line is the body
// The call must never crash and must answer either a value or an error message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "binding/builtins.h"
#include "fuzz/fuzz_check.h"
#include "host/host_value_tree.h"
#include "remoting/api_description.h"
#include "remoting/dispatch.h"
#include "remoting/function_registration.h"

namespace {

using Velto::ArgumentLocation;
using Velto::BindingProperty;
using Velto::HttpMethod;
using Velto::Client::HostArgument;
using Velto::Client::HostRequest;
using Velto::Client::HostResponse;
using Velto::TestHost::HostValueTree;

struct Filter {
    std::string name;
    std::vector<int64_t> ids;
    BindingProperty extra;
};

// The module's functions, bound once.
struct FuzzApi {
    FuzzApi() {
        Velto::RegisterBuiltins(registry);
        registry.RegisterStruct<Filter>("Filter")
            .Field<std::string>("name", offsetof(Filter, name))
            .Field<std::vector<int64_t>>("ids", offsetof(Filter, ids))
            .Field<BindingProperty>("extra", offsetof(Filter, extra));
        Velto::BindCallable(
            registry, bindings, "items",
            [](int32_t id, bool flag, std::optional<double> ratio, std::string text) {
                return text + std::to_string(id) + (flag ? "+" : "-") +
                       std::to_string(ratio.value_or(0));
            },
            {"id", "flag", "ratio", "text"})
            .Route("/items/{id}/{+rest}")
            .Method(HttpMethod::Get)
            .Location("text", ArgumentLocation::Header);
        Velto::BindCallable(registry, bindings, "search",
                            [](Filter filter, std::vector<uint8_t> blob, BindingProperty object) {
                                Velto::HandlerResponse<Filter> response;
                                response.value = std::move(filter);
                                response.value.extra = std::move(object);
                                response.headers["blob"] = std::to_string(blob.size());
                                return response;
                            },
                            {"filter", "blob", "object"});
        Velto::BindCallable(
            registry, bindings, "upload",
            [](const Velto::RemotingRequest& request, BindingProperty body, uint16_t small) {
                return request.path.size() + body.Size() + small;
            },
            {"body", "small"})
            .Route("/upload/{#part}")
            .Location("body", ArgumentLocation::Body);
        description.Build(nullptr, registry, bindings, &Velto::HandleHostCall);
    }

    Velto::BindingRegistry registry;
    Velto::FunctionBindings bindings;
    Velto::ApiDescription description;
};

std::string_view NextLine(std::string_view& text) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return line;
}

// The parsed request; Build points a HostRequest into it.
struct FuzzRequest {
    unsigned long entry = 0;
    unsigned long method = 0;
    std::string path;
    std::string contentType;
    std::optional<std::string> body;
    std::vector<std::string> headerTexts;  // name, value, name, value, ...
    std::vector<std::string> argumentNames;
    std::vector<HostValueTree> argumentValues;

    void AddLine(std::string_view line) {
        const std::size_t equals = line.find('=');
        if (line.size() < 2 || line[1] != ' ' || equals == std::string_view::npos) {
            return;
        }
        const std::string_view name = line.substr(2, equals - 2);
        const std::string_view value = line.substr(equals + 1);
        if (line[0] == 'H') {
            headerTexts.emplace_back(name);
            headerTexts.emplace_back(value);
        } else if (line[0] == 'A') {
            std::optional<HostValueTree> tree = HostValueTree::FromJson(value);
            argumentNames.emplace_back(name);
            argumentValues.push_back(tree ? std::move(*tree) : HostValueTree::Text(value));
        }
    }

    HostRequest Build(void* functionContext, std::vector<const char*>& headers,
                      std::vector<HostArgument>& arguments) const {
        for (const std::string& text : headerTexts) {
            headers.push_back(text.c_str());
        }
        for (std::size_t index = 0; index < argumentNames.size(); ++index) {
            const std::string& name = argumentNames[index];
            arguments.push_back(
                HostArgument{name.empty() ? nullptr : name.c_str(), argumentValues[index].Value()});
        }
        HostRequest request{};
        request.method = static_cast<uint32_t>(method);
        request.path = path.c_str();
        request.arguments = arguments.data();
        request.argumentCount = static_cast<int32_t>(arguments.size());
        request.functionContext = functionContext;
        request.headers = headers.data();
        request.headerCount = static_cast<uint32_t>(headerTexts.size() / 2);
        request.contentType = contentType.c_str();
        request.body = body ? reinterpret_cast<const uint8_t*>(body->data()) : nullptr;
        request.bodySize = body ? static_cast<uint32_t>(body->size()) : 0;
        request.customMethod = method == 8 ? "CUSTOM" : nullptr;
        return request;
    }
};

FuzzRequest Parse(std::string_view input) {
    FuzzRequest fuzz;
    const std::string head(NextLine(input));
    char* rest = nullptr;
    fuzz.entry = std::strtoul(head.c_str(), &rest, 10);
    fuzz.method = std::strtoul(rest, nullptr, 10);
    fuzz.path = NextLine(input);
    fuzz.contentType = NextLine(input);
    while (!input.empty()) {
        const std::string_view line = NextLine(input);
        if (line == "B") {
            fuzz.body = std::string(input);
            break;
        }
        fuzz.AddLine(line);
    }
    return fuzz;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static FuzzApi api;
    const FuzzRequest fuzz = Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    const Velto::Client::ApiDescriptor& descriptor = *api.description.Descriptor();
    const Velto::Client::ApiFunctionEntry& function =
        descriptor.functions[fuzz.entry % descriptor.functionCount];
    std::vector<const char*> headers;
    std::vector<HostArgument> arguments;
    HostRequest request = fuzz.Build(function.callContext, headers, arguments);
    HostResponse response{};
    function.call(&response, &request);
    // Every answer is a value or an error with its message, and can be released.
    Fuzz::Check(response.release != nullptr &&
                (response.errorFlag != 0) == (response.errorMessage != nullptr));
    if (response.stream != nullptr) {
        response.streamRelease(response.stream);
    }
    response.release(&response);
    return 0;
}
