#include "runtime/deferred_calls.h"

#include <mutex>
#include <unordered_map>
#include <utility>

#include "runtime/guarded_call.h"

namespace Velto::Client {

struct DeferredCalls::Registry {
    std::mutex lock;
    std::unordered_map<std::uintptr_t, Entry*> entries;
    std::uintptr_t nextToken = 1;  // 0 once every token has been handed out
};

DeferredCalls::Registry& DeferredCalls::Armed() {
    static Registry armed;
    return armed;
}

DeferredCalls::~DeferredCalls() {
    DisarmAll();
}

DeferredCalls::Ticket DeferredCalls::Add(Callback callback) {
    Registry& armed = Armed();
    const std::lock_guard<std::mutex> guard(armed.lock);
    if (armed.nextToken == 0) {
        return Ticket{0, nullptr};
    }
    const std::uintptr_t token = armed.nextToken++;
    const uint64_t id = nextId_++;
    Entry& entry =
        entries_.try_emplace(id, Entry{this, id, token, std::move(callback)}).first->second;
    armed.entries.emplace(token, &entry);
    return Ticket{id, reinterpret_cast<void*>(token)};
}

void DeferredCalls::Run(void* userData) noexcept {
    Registry& armed = Armed();
    const auto token = reinterpret_cast<std::uintptr_t>(userData);
    Callback callback;
    {
        const std::lock_guard<std::mutex> guard(armed.lock);
        const auto found = armed.entries.find(token);
        if (found == armed.entries.end() || found->second->running) {
            return;
        }
        found->second->running = true;
        callback = found->second->callback;
    }
    if (callback) {
        RunGuarded("deferred call", callback);
    }
    // The entry is gone if its table was disarmed while the callback ran.
    const std::lock_guard<std::mutex> guard(armed.lock);
    const auto found = armed.entries.find(token);
    if (found != armed.entries.end()) {
        Entry* entry = found->second;
        armed.entries.erase(found);
        entry->owner->entries_.erase(entry->id);
    }
}

void DeferredCalls::DisarmAll() {
    Registry& armed = Armed();
    const std::lock_guard<std::mutex> guard(armed.lock);
    for (const auto& [id, entry] : entries_) {
        armed.entries.erase(entry.token);
    }
    entries_.clear();
}

std::size_t DeferredCalls::Pending() const {
    const std::lock_guard<std::mutex> guard(Armed().lock);
    return entries_.size();
}

}  // namespace Velto::Client
