#include "runtime/deferred_calls.h"

#include <mutex>
#include <utility>

#include "runtime/guarded_call.h"
#include "runtime/pointer_registry.h"

namespace Velto::Client {

namespace {

// The deferred-call lock and the entries the host may still run, for every module of the
// process: the thunk must be able to check an entry before it reads it.
PointerRegistry& Armed() {
    static PointerRegistry armed;
    return armed;
}

}  // namespace

DeferredCalls::~DeferredCalls() {
    DisarmAll();
}

DeferredCalls::Ticket DeferredCalls::Add(Callback callback) {
    PointerRegistry& armed = Armed();
    const std::lock_guard<std::mutex> guard(armed.lock);
    const uint64_t id = nextId_++;
    Entry& entry = entries_.try_emplace(id, Entry{this, id, std::move(callback)}).first->second;
    armed.pointers.insert(&entry);
    return Ticket{id, &entry};
}

void DeferredCalls::Run(void* userData) noexcept {
    PointerRegistry& armed = Armed();
    Callback callback;
    {
        const std::lock_guard<std::mutex> guard(armed.lock);
        if (armed.pointers.count(userData) == 0) {
            return;
        }
        callback = static_cast<Entry*>(userData)->callback;
    }
    if (callback) {
        RunGuarded("deferred call", callback);
    }
    const std::lock_guard<std::mutex> guard(armed.lock);
    if (armed.pointers.erase(userData) != 0) {
        Entry* entry = static_cast<Entry*>(userData);
        entry->owner->entries_.erase(entry->id);
    }
}

void DeferredCalls::DisarmAll() {
    PointerRegistry& armed = Armed();
    const std::lock_guard<std::mutex> guard(armed.lock);
    for (const auto& [id, entry] : entries_) {
        armed.pointers.erase(&entry);
    }
    entries_.clear();
}

std::size_t DeferredCalls::Pending() const {
    const std::lock_guard<std::mutex> guard(Armed().lock);
    return entries_.size();
}

}  // namespace Velto::Client
