#include "diagnostics/plugin_logging.h"

#include "diagnostics/log.h"
#include "diagnostics/log_manager.h"

namespace Velto {
namespace {

void DetachTable(LogTargetInterface* target) {
    if (target != nullptr && target->Detach != nullptr) {
        target->Detach(target);
    }
}

}  // namespace

void StartLogging() noexcept {
    LogManager::Start();
}

void StopLogging() noexcept {
    LogManager::Stop();
}

void StartPluginLogging(std::unique_ptr<LogTarget>& moduleTarget,
                        const std::function<std::unique_ptr<LogTarget>()>& createTarget) {
    if (LogManager::FindTarget(kPluginLogTargetName) != nullptr) {
        return;
    }
    DetachTable(LogManager::StdOutTarget());
    DetachTable(LogManager::StdErrTarget());
    DetachTable(LogManager::DebuggerTarget());
    LogManager::SetMinimumLevel(static_cast<int32_t>(LogLevel::Okay));
    LogManager::SetSuppressedGroups(kLogGroupXtr);

    std::unique_ptr<LogTarget> target = createTarget ? createTarget() : nullptr;
    if (target == nullptr) {
        return;
    }
    moduleTarget = std::move(target);
    LogTargetConfig config;
    config.minimumLevel = LogManager::MinimumLevel();
    config.includedGroups = 0;
    config.excludedGroups = 0;
    config.lineFormat = kDefaultLineFormat;
    moduleTarget->Configure(config);
}

}  // namespace Velto
