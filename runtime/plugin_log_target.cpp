#include "runtime/plugin_log_target.h"

#include "diagnostics/plugin_logging.h"

namespace Velto::Client {

PluginLogTarget::PluginLogTarget(HostApi* api) noexcept : api_(api) {
    EnableWrite();
}

PluginLogTarget::~PluginLogTarget() {
    Detach();
}

const char* PluginLogTarget::Name() const noexcept {
    return kPluginLogTargetName;
}

bool PluginLogTarget::Write(const LogRecord& record) {
    if (api_ != nullptr && api_->Log != nullptr) {
        api_->Log(api_, record.level, record.message != nullptr ? record.message : "");
    }
    return true;
}

void InstallPluginLogTarget(std::unique_ptr<LogTarget>& moduleTarget, HostApi* api) {
    StartPluginLogging(moduleTarget, [api] { return std::make_unique<PluginLogTarget>(api); });
}

}  // namespace Velto::Client
