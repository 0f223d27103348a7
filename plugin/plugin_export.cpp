// The library's one export, through which the host loads the plug-in.
#include <memory>

#include "platform/host_boundary.h"
#include "plugin/active_boosts_module.h"
#include "runtime/plugin_handshake.h"

#if defined(_WIN32)
#define MEK_EXPORT extern "C" __declspec(dllexport)
#else
#define MEK_EXPORT extern "C" __attribute__((visibility("default")))
#endif

MEK_EXPORT void* load_mek_active_boosts(Velto::Client::PluginLoadContext* context) noexcept {
    return Velto::Client::CompleteHandshake(
        context, std::make_unique<Velto::Client::ActiveBoosts::ActiveBoostsModule>());
}
