// The calls a module asked the host to run later, and the thunk the host runs them through.
//
// The host is handed a pointer to an entry of this table. Entries are disarmed when they run and
// when the table is disarmed (at Shutdown) or destroyed; the thunk checks, under the process-wide
// deferred-call lock, that the entry it is given is still armed, so a host that runs a call late,
// twice, or after the module is gone runs nothing. The callback itself runs outside the lock, so
// it may schedule further calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>

namespace Velto::Client {

class DeferredCalls {
  public:
    using Callback = std::function<void()>;

    // What the host is given for one call.
    struct Ticket {
        uint64_t id;     // from 1, in the order calls were added
        void* userData;  // to pass to Run
    };

    DeferredCalls() = default;
    ~DeferredCalls();
    DeferredCalls(const DeferredCalls&) = delete;
    DeferredCalls& operator=(const DeferredCalls&) = delete;

    // Keeps `callback` (which must not be empty) under the next id.
    Ticket Add(Callback callback);
    // The host's thunk: runs the armed entry `userData` names, then removes it; anything else
    // (null, a disarmed or unknown entry) is ignored. An exception of the callback is logged.
    static void Run(void* userData) noexcept;
    // Removes every entry, so that none of them runs any more.
    void DisarmAll();
    // Entries added and neither run nor disarmed.
    std::size_t Pending() const;

  private:
    struct Entry {
        DeferredCalls* owner;
        uint64_t id;
        Callback callback;
    };

    std::map<uint64_t, Entry> entries_;
    uint64_t nextId_ = 1;
};

}  // namespace Velto::Client
