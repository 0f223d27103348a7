#include "runtime/plugin_exports.h"

#include "binding/page_allocator.h"
#include "diagnostics/memory_statistics.h"
#include "runtime/app_module.h"

namespace Velto::Client {
namespace {

bool StartModule(void* module, HostContext* context) noexcept {
    return module != nullptr && static_cast<AppModule*>(module)->Start(context);
}

void ShutdownModule(void* module) noexcept {
    if (module == nullptr) {
        return;
    }
    AppModule* appModule = static_cast<AppModule*>(module);
    appModule->Shutdown();
    delete appModule;
    ReleaseEmptySlabs();
}

void GetMemoryStats(void*, MemoryStats* out) noexcept {
    if (out != nullptr) {
        *out = ReadMemoryStatistics();
    }
}

}  // namespace

PluginExportTable MakePluginExportTable() {
    return PluginExportTable{&StartModule, &ShutdownModule, &GetMemoryStats};
}

}  // namespace Velto::Client
