#include "remoting/dispatch.h"

#include <exception>
#include <memory>
#include <string>

#include "platform/utc_calendar.h"
#include "remoting/api_description.h"
#include "remoting/argument_binder.h"
#include "remoting/function_binding.h"
#include "remoting/function_descriptor.h"
#include "remoting/host_response_writer.h"
#include "remoting/named_values.h"
#include "remoting/remoting_request.h"
#include "remoting/remoting_response.h"

namespace Velto {

namespace {

using Client::HostRequest;
using Client::HostResponse;

// Elements that indices in dotted keys may create beyond what the request's path text carries.
constexpr std::size_t kIndexGrowthAllowance = 1024;

const char* TextOrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

void WriteFailure(HostResponse* response, std::string_view message, uint32_t status) {
    RemotingResponse failure;
    failure.SetFailure(message);
    failure.status = status;
    WriteHostResponse(response, failure, nullptr);
}

void WriteInvalidFunction(HostResponse* response) {
    WriteFailure(response, "Invalid function", 404);
}

// The request's headers, later pairs replacing earlier ones; pairs with a null text are skipped.
NamedValues ReadHeaders(const HostRequest& request) {
    NamedValues headers;
    if (request.headers == nullptr) {
        return headers;
    }
    for (uint32_t pair = 0; pair < request.headerCount; ++pair) {
        const char* name = request.headers[2 * pair];
        const char* value = request.headers[2 * pair + 1];
        if (name != nullptr && value != nullptr) {
            headers.Set(name, value);
        }
    }
    return headers;
}

std::string LowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return lower;
}

std::unique_ptr<HttpBaseTransport::Request> MakeTransportRequest(const RouteMatch& match,
                                                                 const HostRequest& request,
                                                                 const NamedValues& headers) {
    auto transport = std::make_unique<HttpBaseTransport::Request>();
    transport->callContext = request.callContext;
    transport->registry = match.function->registry;
    transport->time = static_cast<uint64_t>(Platform::UtcNowInTicks());
    transport->path = match.path;
    transport->method = match.method;
    transport->customMethod = match.customMethod;
    for (const auto& [name, value] : headers.Items()) {
        transport->headers[name] = value;
    }
    return transport;
}

bool BindNamedSources(ArgumentBinder& binder, const FunctionDescriptor& function,
                      const FunctionBinding& binding, const RouteMatch& match,
                      const NamedValues& headers) {
    for (std::size_t index = 0; index < function.arguments.size(); ++index) {
        const ArgumentLocation location = binding.LocationOf(index);
        if (location != ArgumentLocation::Anywhere && location != ArgumentLocation::Header) {
            continue;
        }
        const std::string& name = function.arguments[index].name;
        const std::string* value = headers.Find(LowerCase(name));
        if (value != nullptr &&
            !binder.BindNamedValue(name, *value, {}, ArgumentLocation::Header)) {
            return false;
        }
    }
    for (const auto& [name, value] : match.pathParameters.Items()) {
        if (!binder.BindNamedValue(name, value, {}, ArgumentLocation::Path)) {
            return false;
        }
    }
    const NamedValues query = ParseQuery(match.path);
    for (const auto& [key, value] : query.Items()) {
        if (!binder.BindNamedValue(key, value, {}, ArgumentLocation::Query)) {
            return false;
        }
    }
    return true;
}

bool BindDirectArguments(ArgumentBinder& binder, const HostRequest& request,
                         std::size_t pathParameters) {
    if (request.arguments == nullptr || request.argumentCount <= 0) {
        return true;
    }
    for (int32_t position = 0; position < request.argumentCount; ++position) {
        if (!binder.BindDirectArgument(static_cast<std::size_t>(position), pathParameters,
                                       request.arguments[position])) {
            return false;
        }
    }
    return true;
}

// The handle of a prepared call, released when the call's response has been written (or when
// the call ends in an exception).
class PreparedCall {
  public:
    explicit PreparedCall(FunctionInvoker& invoker) : invoker_(invoker) {}
    PreparedCall(const PreparedCall&) = delete;
    PreparedCall& operator=(const PreparedCall&) = delete;
    ~PreparedCall() {
        if (handle_ != nullptr) {
            invoker_.Release(handle_);
        }
    }

    void* Prepare(RemotingResponse& response, BindingProperty& arguments, uint32_t callContext) {
        handle_ = invoker_.Prepare(response, arguments, callContext);
        return handle_;
    }

  private:
    FunctionInvoker& invoker_;
    void* handle_ = nullptr;
};

// Binds the arguments and invokes the function through `call`.
void BindAndInvoke(const RouteMatch& match, const HostRequest& request, PreparedCall& call,
                   RemotingResponse& response) {
    const FunctionDescriptor& function = *match.function;
    const FunctionBinding& binding = *match.binding;
    const NamedValues headers = ReadHeaders(request);
    ArgumentBinder binder(function, binding, response, match.path.size() + kIndexGrowthAllowance);
    if (!BindNamedSources(binder, function, binding, match, headers) ||
        !BindDirectArguments(binder, request, match.pathParameters.Items().size()) ||
        !binder.BindBody(request)) {
        return;
    }
    void* handle = call.Prepare(response, binder.Values(), request.callContext);
    if (!response.result.succeeded) {
        return;
    }
    FunctionInvoker& invoker = *binding.invoker;
    std::unique_ptr<HttpBaseTransport::Request> transport;
    if (TakesTransportRequest(invoker.RequestType())) {
        transport = MakeTransportRequest(match, request, headers);
    }
    invoker.Invoke(response, transport.get(), handle, request.callContext);
}

}  // namespace

void Dispatch(HostResponse* response, const HostRequest& request, std::span<const Route> routes) {
    RouteMatch match;
    match.method = MethodFromHost(request.method);
    match.path = TextOrEmpty(request.path);
    if (match.method == HttpMethod::Custom) {
        match.customMethod = TextOrEmpty(request.customMethod);
    }
    if (!MatchRoutes(routes, match)) {
        WriteInvalidFunction(response);
        return;
    }
    DispatchMatched(response, request, match);
}

void DispatchMatched(HostResponse* response, const HostRequest& request, const RouteMatch& match) {
    if (match.function == nullptr || match.binding == nullptr ||
        match.binding->invoker == nullptr) {
        WriteInvalidFunction(response);
        return;
    }
    PreparedCall call(*match.binding->invoker);
    RemotingResponse remoting;
    BindAndInvoke(match, request, call, remoting);
    WriteHostResponse(response, remoting, match.function->registry);
}

void DispatchToBinding(HostResponse* response, const HostRequest& request,
                       const FunctionBinding& binding) {
    const std::string& routeTemplate =
        binding.route.empty() ? binding.function->name : binding.route;
    // The route only points at the binding; matching never changes it.
    FunctionBinding& matched = const_cast<FunctionBinding&>(binding);
    const Route routes[] = {CompileRoute(matched.function, &matched, routeTemplate)};
    Dispatch(response, request, routes);
}

void HandleHostCall(HostResponse* response, HostRequest* request) noexcept {
    if (response == nullptr) {
        return;
    }
    const FunctionBinding* binding =
        request != nullptr ? ApiDescription::BindingOfCallContext(request->functionContext)
                           : nullptr;
    if (binding == nullptr || binding->function == nullptr) {
        WriteInvalidFunction(response);
        return;
    }
    try {
        DispatchToBinding(response, *request, *binding);
    } catch (const std::exception& error) {
        WriteFailure(response, error.what(), 0);
    } catch (...) {
        WriteFailure(response, "Unknown exception", 0);
    }
}

}  // namespace Velto
