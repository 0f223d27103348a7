// Typed invokers for native callables, and the function descriptions their signatures give.
//
// A bound callable may be a lambda, a function object or a function pointer. It may take, first,
// the transport request (`const HttpBaseTransport::Request&` or `const RemotingRequest&`), then
// any number of arguments of types the conversions know (std::optional<T> marks an optional
// argument). It returns a HandlerResponse<T> (value, status, text, headers), a plain value, a
// std::unique_ptr<RemotingStream> (a streamed body) or nothing.
//
// Only the per-signature glue is templated; the argument slots, conversions of whole values and
// the status copy are shared non-template code.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/field_converter.h"
#include "remoting/function_descriptor.h"
#include "remoting/function_invoker.h"
#include "remoting/handler_response.h"
#include "remoting/remoting_request.h"
#include "remoting/remoting_response.h"
#include "remoting/remoting_stream.h"

namespace Velto {

namespace InvokerDetail {

template <class Function>
struct FunctionTraits;
template <class R, class... A>
struct FunctionTraits<std::function<R(A...)>> {
    using Result = R;
    using Parameters = std::tuple<std::remove_cvref_t<A>...>;
};

template <class P>
inline constexpr bool kIsRequest =
    std::is_same_v<P, HttpBaseTransport::Request> || std::is_same_v<P, RemotingRequest>;

// Splits the parameters into the optional leading request and the bound arguments.
template <class Parameters>
struct SplitRequest {
    using Request = void;
    using Arguments = Parameters;
};
template <class First, class... Rest>
struct SplitRequest<std::tuple<First, Rest...>> {
    using Request = std::conditional_t<kIsRequest<First>, First, void>;
    using Arguments =
        std::conditional_t<kIsRequest<First>, std::tuple<Rest...>, std::tuple<First, Rest...>>;
};

// The value a result carries to the host; void for streams and for no result.
template <class R>
struct ResultValue {
    using Type = R;
};
template <class T>
struct ResultValue<HandlerResponse<T>> {
    using Type = T;
};
template <>
struct ResultValue<std::unique_ptr<RemotingStream>> {
    using Type = void;
};

}  // namespace InvokerDetail

// What the signature of Callable says.
template <class Callable>
struct CallableSignature {
    using Traits = InvokerDetail::FunctionTraits<decltype(std::function{std::declval<Callable>()})>;
    using Result = typename Traits::Result;
    using Request = typename InvokerDetail::SplitRequest<typename Traits::Parameters>::Request;
    using Arguments = typename InvokerDetail::SplitRequest<typename Traits::Parameters>::Arguments;
    using Value = typename InvokerDetail::ResultValue<Result>::Type;
    static constexpr bool kTakesRequest = !std::is_void_v<Request>;
    static constexpr std::size_t kArgumentCount = std::tuple_size_v<Arguments>;
};

// The TypeSpec of a native argument or result type (an optional wrapper's value type).
template <class T>
TypeSpec SpecOf(const BindingRegistry& registry) {
    if constexpr (std::is_void_v<T>) {
        return TypeSpec{};
    } else {
        return TypeSpecOf<typename Unwrapped<T>::Type>(registry);
    }
}

// The description of a function `name` bound to Callable, its arguments named by
// `argumentNames` (one per argument).
template <class Callable>
FunctionDescriptor DescribeCallable(std::string_view name,
                                    const std::vector<std::string>& argumentNames,
                                    const BindingRegistry& registry) {
    using Signature = CallableSignature<Callable>;
    FunctionDescriptor function;
    function.name = name;
    function.registry = &registry;
    function.returns = SpecOf<typename Signature::Value>(registry);
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        (function.arguments.push_back(ArgumentDescriptor{
             argumentNames[I],
             {},
             Unwrapped<std::tuple_element_t<I, typename Signature::Arguments>>::isOptional,
             SpecOf<std::tuple_element_t<I, typename Signature::Arguments>>(registry),
             {}}),
         ...);
    }
    (std::make_index_sequence<Signature::kArgumentCount>());
    return function;
}

// Converts an argument slot into the native parameter; on failure fails `response` with the
// converter's message. An empty slot gives an optional parameter no value.
template <class P>
bool ConvertArgument(RemotingResponse& response, P& output, const BindingProperty& slot,
                     const ArgumentDescriptor& argument, const BindingRegistry& registry) {
    BindingResult status;
    if constexpr (Unwrapped<P>::isOptional) {
        if (slot.IsEmpty()) {
            return true;
        }
        typename Unwrapped<P>::Type value{};
        ToNative(status, value, slot, argument.name, registry);
        output = std::move(value);
    } else {
        ToNative(status, output, slot, argument.name, registry);
    }
    if (!status.succeeded) {
        response.SetFailure(status.FailureMessage());
    }
    return status.succeeded;
}

// Stores what a callable returned in `response`.
template <class R>
void StoreResult(RemotingResponse& response, R& result, const BindingRegistry& registry) {
    if constexpr (std::is_same_v<R, std::unique_ptr<RemotingStream>>) {
        response.stream = std::move(result);
    } else if constexpr (std::is_base_of_v<HandlerStatus, R>) {
        if (result.succeeded) {
            FromNative(response.result, result.value, registry);
        }
        ApplyHandlerStatus(response, result);
    } else {
        FromNative(response.result, result, registry);
    }
}

// The argument values a prepared call holds until it is invoked: one collection, so that the
// values share one storage.
struct PreparedArguments {
    BindingProperty values;
};

template <class Function>
class CallableInvoker final : public FunctionInvoker {
    using Signature = CallableSignature<Function>;

  public:
    CallableInvoker(Function callable, const FunctionDescriptor& function)
        : callable_(std::move(callable)), function_(function) {}

    void* Prepare(RemotingResponse&, BindingProperty& arguments, uint32_t) override {
        auto* prepared = new PreparedArguments;
        prepared->values.Take(arguments);
        return prepared;
    }

    void Invoke(RemotingResponse& response, HttpBaseTransport::Request* request, void* handle,
                uint32_t) override {
        const std::span<BindingProperty> slots =
            static_cast<PreparedArguments*>(handle)->values.Elements();
        if (slots.size() != Signature::kArgumentCount ||
            function_.arguments.size() != Signature::kArgumentCount) {
            response.SetFailure("Invalid function");
            return;
        }
        typename Signature::Arguments natives{};
        const bool converted = [&]<std::size_t... I>(std::index_sequence<I...>) {
            return (ConvertArgument(response, std::get<I>(natives), slots[I],
                                    function_.arguments[I], *function_.registry) &&
                    ...);
        }
        (std::make_index_sequence<Signature::kArgumentCount>());
        if (converted) {
            Call(response, request, natives);
        }
    }

    void Release(void* handle) override { delete static_cast<PreparedArguments*>(handle); }
    const void* Callable() const override { return &callable_; }
    const TypeIdentity& RequestType() const override {
        if constexpr (Signature::kTakesRequest) {
            return StaticType::HashCode<typename Signature::Request>();
        } else {
            return StaticType::HashCode<void>();
        }
    }

  private:
    void Call(RemotingResponse& response, HttpBaseTransport::Request* request,
              typename Signature::Arguments& natives) {
        const auto call = [&](auto&... arguments) {
            if constexpr (Signature::kTakesRequest) {
                HttpBaseTransport::Request none;
                return callable_(request != nullptr ? *request : none, arguments...);
            } else {
                return callable_(arguments...);
            }
        };
        if constexpr (std::is_void_v<typename Signature::Result>) {
            std::apply(call, natives);
        } else {
            typename Signature::Result result = std::apply(call, natives);
            StoreResult(response, result, *function_.registry);
        }
    }

    Function callable_;
    const FunctionDescriptor& function_;
};

}  // namespace Velto
