// The polymorphic object that calls a bound native callable.
//
// The slot order (Prepare, Invoke, Release, Callable, RequestType, destructor) is the invoker's
// interface; typed invokers for callables of every supported shape are in
// remoting/callable_invoker.h.
#pragma once

#include <cstdint>

#include "binding/binding_property.h"
#include "binding/static_type.h"

namespace Velto {

struct RemotingResponse;
namespace HttpBaseTransport {
struct Request;
}

class FunctionInvoker {
  public:
    // Receives the bound argument values, a collection with one element per argument in order,
    // before the call (it may take them over); returns a handle that Invoke and Release receive
    // (never null). May fail the response.
    virtual void* Prepare(RemotingResponse& response, BindingProperty& arguments,
                          uint32_t callContext) = 0;
    // Converts the arguments to the callable's parameter types, calls it and stores its outcome
    // (result or failure, and status, headers, response text or stream when it gives them) in
    // `response`. `request` is the transport request when RequestType() asks for one, else null.
    virtual void Invoke(RemotingResponse& response, HttpBaseTransport::Request* request,
                        void* handle, uint32_t callContext) = 0;
    // Frees what Prepare returned.
    virtual void Release(void* handle) = 0;
    // The stored callable.
    virtual const void* Callable() const = 0;
    // The identity of the request object the callable takes; that of void when it takes none.
    virtual const TypeIdentity& RequestType() const = 0;
    virtual ~FunctionInvoker() = default;
};

}  // namespace Velto
