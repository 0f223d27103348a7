// Dispatch of the host's calls to bound functions: the route is matched, the arguments are bound
// from the request, the function is invoked and its outcome is written into the host's response.
//
// Outside input: any HostRequest is safe. A null path, content type or custom method reads as the
// empty text; null header or argument arrays (whatever their counts say), null header names or
// values and a negative argument count read as absent; a null body with a size reads as no body.
// A function context that is not one the API description handed out fails the call with
// "Invalid function" (status 404), as does a method or path the function's route does not take.
// A null response is left alone. No exception leaves HandleHostCall.
//
// Thread-safety: a dispatch touches only its own objects and the binding, which does not change
// after start-up, so the host may call from any thread; whether a function may run concurrently
// with itself is the function's own matter.
#pragma once

#include <span>

#include "platform/host_boundary.h"
#include "remoting/route.h"

namespace Velto {

struct FunctionBinding;

// The routine placed in every function entry of the API description: dispatches to the binding
// named by the request's function context.
void HandleHostCall(Client::HostResponse* response, Client::HostRequest* request) noexcept;

// Dispatches `request` to the one route of `binding` (its route template, or the function's name
// when it has none).
void DispatchToBinding(Client::HostResponse* response, const Client::HostRequest& request,
                       const FunctionBinding& binding);

// Dispatches `request` to the route of `routes` that matches it.
void Dispatch(Client::HostResponse* response, const Client::HostRequest& request,
              std::span<const Route> routes);

// The rest of a dispatch once `match` holds the matched function, binding and path parameters:
// binds the arguments, invokes the function and writes the response.
void DispatchMatched(Client::HostResponse* response, const Client::HostRequest& request,
                     const RouteMatch& match);

}  // namespace Velto
