#include "runtime/plugin_handshake.h"

#include "diagnostics/assertion.h"
#include "diagnostics/format.h"
#include "diagnostics/log.h"

namespace Velto::Client {
namespace {

void ReportIncompatibleHost(const AppModule& module, const Version& host) {
    ReportAssertion("ALE-EECF0606", nullptr, nullptr, 0, nullptr);
    const std::string message =
        Format("%1 which supports plugin API %2 is not compatible with core's plugin API %3",
               module.ShortName(), PluginApiVersion(), host);
    LogMessage(LogLevel::Error, kLogGroupDbg, "%s", message.c_str());
}

void WriteBack(PluginLoadContext& context, AppModule& module) {
    const Version plugin = PluginApiVersion();
    context.major = plugin.major;
    context.minor = plugin.minor;
    context.patch = plugin.patch;
    context.exports = module.ExportTable();
    context.module = &module;
    context.name = module.ShortName().c_str();
    context.apiDescriptor = module.Descriptor();
}

}  // namespace

void* CompleteHandshake(PluginLoadContext* context, std::unique_ptr<AppModule> module) {
    if (context == nullptr || module == nullptr) {
        return nullptr;
    }
    const Version host{context->major, context->minor, context->patch, {}, {}};
    if (!IsCompatibleApiVersion(host, PluginApiVersion())) {
        ReportIncompatibleHost(*module, host);
        return nullptr;
    }
    module->SetHostVersion(host);
    module->SetIdentity(MakePluginIdentity(module->ShortName(), module->Type()));
    module->SetApiTags({"Plugins", "Plugin " + module->ShortName()});
    RegisterRuntimeTypes(module->Registry());
    module->RegisterTypes();
    module->BuildApiDescription();
    WriteBack(*context, *module);
    return module.release();
}

}  // namespace Velto::Client
