// The calls a module asked the host to run later, and the thunk the host runs them through.
//
// The host is handed a token for each call, never an address: tokens count up from 1 for the
// whole process and are never reused, so a token run late, twice, or after its module is gone
// names nothing that could run in its place. Calls are disarmed when they start to run and when
// the table is disarmed (at Shutdown) or destroyed; the thunk checks, under the process-wide
// deferred-call lock, that the token it is given names an armed call, so each call runs at most
// once even when the host runs it on two threads at once. The callback itself runs outside the
// lock, so it may schedule further calls.
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
        uint64_t id;     // from 1, in the order calls were added; 0 when the call was not kept
        void* userData;  // the call's token, to pass to Run
    };

    DeferredCalls() = default;
    ~DeferredCalls();
    DeferredCalls(const DeferredCalls&) = delete;
    DeferredCalls& operator=(const DeferredCalls&) = delete;

    // Keeps `callback` (which must not be empty) under the next id. Keeps nothing and returns id 0
    // once every token a pointer can hold has been handed out (after 2^32 - 1 calls on 32-bit
    // builds), since a token must never be reused.
    Ticket Add(Callback callback);
    // The host's thunk: runs the armed call the token `userData` names, then removes it; anything
    // else (null, a token that ran, runs or was disarmed, an unknown one) is ignored. An exception
    // of the callback is logged.
    static void Run(void* userData) noexcept;
    // Removes every entry, so that none of them runs any more.
    void DisarmAll();
    // Entries added and neither run nor disarmed.
    std::size_t Pending() const;

  private:
    struct Entry {
        DeferredCalls* owner;
        uint64_t id;
        std::uintptr_t token;
        Callback callback;
        bool running = false;
    };
    // The deferred-call lock and the armed entries of every table by token.
    struct Registry;
    static Registry& Armed();

    std::map<uint64_t, Entry> entries_;
    uint64_t nextId_ = 1;
};

}  // namespace Velto::Client
