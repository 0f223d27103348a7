#include "binding/builtins.h"

#include <cstddef>

#include "binding/binding_registry.h"
#include "binding/field_converter.h"
#include "binding/help_records.h"

namespace Velto {
namespace {

// The 32-bit layout the host sees; other layouts register their own sizes.
constexpr bool kIs32Bit = sizeof(void*) == 4;
static_assert(!kIs32Bit || sizeof(BindingGenericEvent) == 16);
static_assert(!kIs32Bit || sizeof(BindingCallbackEvent) == 16);
static_assert(!kIs32Bit || sizeof(BindingGenericAsyncEvent) == 24);
static_assert(!kIs32Bit || sizeof(BindingAsyncFailureEvent) == 28);
static_assert(!kIs32Bit || sizeof(BindingAsyncCancelEvent) == 4);
static_assert(sizeof(BindingAsyncState::Type) == 4);

void RegisterAsyncState(BindingRegistry& registry) {
    registry.RegisterEnum<BindingAsyncState::Type>("BindingAsyncState")
        .Value("None", BindingAsyncState::None, "Invalid state")
        .Value("Running", BindingAsyncState::Running, "The operation is in flight")
        .Value("Cancelling", BindingAsyncState::Cancelling,
               "A request to cancel the operation has been made")
        .Value("Cancelled", BindingAsyncState::Cancelled, "The operation was cancelled")
        .Value("Succeeded", BindingAsyncState::Succeeded, "The operation completed successfully")
        .Value("Failed", BindingAsyncState::Failed, "The operation encountered an error")
        .Description("Possible states of an asynchronous operation.")
        .Tags({"$builtin", "async"});
}

void RegisterEventRecords(BindingRegistry& registry) {
    registry.RegisterStruct<BindingGenericEvent>("BindingGenericEvent")
        .Field<BindingProperty>("data", offsetof(BindingGenericEvent, data), "Event data")
        .Description("Represents generic data for an event.")
        .Tag("$builtin");
    registry.RegisterStruct<BindingCallbackEvent>("BindingCallbackEvent")
        .Field<uint32_t>("id", offsetof(BindingCallbackEvent, id),
                         "ID of the callback being invoked")
        .Field<std::vector<BindingProperty>>(
            "parameters", offsetof(BindingCallbackEvent, parameters), "Callback parameters")
        .Description("Represents the parameters of a call to a provided callback.")
        .Tag("$builtin");
    registry.RegisterStruct<BindingGenericAsyncEvent>("BindingGenericAsyncEvent")
        .Field<uint32_t>("asyncToken", offsetof(BindingGenericAsyncEvent, asyncToken),
                         "Asynchronous operation token")
        .Field<BindingProperty>("data", offsetof(BindingGenericAsyncEvent, data), "Event data")
        .Description("Represents generic data for an asynchronous event.")
        .Tags({"$builtin", "async"});
    registry.RegisterStruct<BindingAsyncFailureEvent>("BindingAsyncFailureEvent")
        .Field<uint32_t>("asyncToken", offsetof(BindingAsyncFailureEvent, asyncToken),
                         "Asynchronous operation token")
        .Field<std::string>("error", offsetof(BindingAsyncFailureEvent, error), "Error message")
        .Description("Represents a failed asynchronous operation.")
        .Tags({"$builtin", "async"});
    registry.RegisterStruct<BindingAsyncCancelEvent>("BindingAsyncCancelEvent")
        .Field<uint32_t>("asyncToken", offsetof(BindingAsyncCancelEvent, asyncToken),
                         "Asynchronous operation token")
        .Description("Represents a cancelled asynchronous operation.")
        .Tags({"$builtin", "async"});
}

}  // namespace

void RegisterBuiltins(BindingRegistry& registry) {
    if (registry.BuiltinsRegistered()) {
        registry.RemoveAll();
        registry.SetBuiltinsRegistered(false);
    }
    BindingHelpProvider::RegisterHelpRecords(registry);
    RegisterAsyncState(registry);
    RegisterEventRecords(registry);
    registry.RegisterEvent<BindingCallbackEvent>("OnCallback")
        .Description("Fired when a callback is invoked.")
        .Tag("$builtin");
    registry.SetBuiltinsRegistered(true);
}

}  // namespace Velto
