// Host traffic a module must survive: event payloads of any shape for every kind of subscription
// (exact and pattern resources, LCDS messages, the three service-proxy events), and response
// bodies streamed in arbitrary pieces. The first byte picks the kind; the rest is a JSON text
// for the payload (or the body's raw bytes, cut into pieces at '|').
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "binding/field_converter.h"
#include "host/test_host.h"
#include "runtime/app_module.h"
#include "runtime/event_names.h"

namespace {

using Velto::Client::AppModule;
using Velto::Client::TypedResourceEvent;
using Velto::TestHost::HostAnswer;
using Velto::TestHost::HostValueTree;
using Velto::TestHost::StreamPiece;

struct Item {
    std::string name;
    int32_t count = 0;
    std::vector<uint16_t> parts;
    Velto::BindingProperty extra;
};

class FuzzModule final : public AppModule {
  public:
    FuzzModule() : AppModule("fuzz", "backend") {}
    void RegisterTypes() override {
        RegisterLcdsStruct<Item>("com.example.Item", "LcdsItem")
            .Field<std::string>("name", offsetof(Item, name))
            .Field<int32_t>("count", offsetof(Item, count))
            .Field<std::vector<uint16_t>>("parts", offsetof(Item, parts))
            .Field<Velto::BindingProperty>("extra", offsetof(Item, extra));
    }
};

constexpr const char* kEventNames[] = {
    "OnJsonApiEvent_mek-x_v1_items", "OnLcdsEvent_com_example_Item", "OnServiceProxyUuidEvent",
    "OnServiceProxyMethodEvent",     "OnServiceProxyAsyncEvent",
};
constexpr std::size_t kEventKinds = sizeof(kEventNames) / sizeof(kEventNames[0]);

HostValueTree Payload(std::string_view text) {
    std::optional<HostValueTree> tree = HostValueTree::FromJson(text);
    return tree.has_value() ? std::move(*tree) : HostValueTree::Text(text);
}

std::vector<StreamPiece> Pieces(std::string_view bytes) {
    std::vector<StreamPiece> pieces;
    while (true) {
        const std::size_t cut = bytes.find('|');
        StreamPiece piece;
        piece.bytes = std::string(bytes.substr(0, cut));
        piece.more = cut != std::string_view::npos;
        piece.fails = piece.bytes == "!";
        pieces.push_back(std::move(piece));
        if (cut == std::string_view::npos) {
            return pieces;
        }
        bytes.remove_prefix(cut + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    Velto::TestHost::TestHost host;
    Velto::Client::HostContext context{host.Api(), 1};
    FuzzModule module;
    Velto::Client::RegisterRuntimeTypes(module.Registry());
    module.RegisterTypes();
    module.Start(&context);
    const auto ignore = [](const TypedResourceEvent<Item>&) {};
    module.SubscribeResource<Item>("/mek-x/v1/items/1", ignore);
    module.SubscribeResource<Item>("/mek-x/v1/items/*", ignore);
    module.SubscribeLcds<Item>("com.example.Item", [](const Item&) {});

    const std::size_t kind = data[0] % (kEventKinds + 1);
    if (kind < kEventKinds) {
        host.FireEvent(kEventNames[kind], Payload(rest));
        host.RunDeferredCalls();
    } else {
        host.SetAnswer(static_cast<uint32_t>(Velto::HttpMethod::Get), "/mek-x/v1/stream",
                       HostAnswer::Stream(Pieces(rest), static_cast<uint32_t>(rest.size())));
        module.CallApi<Item>(Velto::HttpMethod::Get, "/mek-x/v1/stream");
    }
    module.Shutdown();
    return 0;
}
