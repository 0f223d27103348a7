#include "platform/recursive_lock.h"

#include <windows.h>

#include <new>

namespace Velto::Platform {
namespace {

static_assert(sizeof(CRITICAL_SECTION) <= RecursiveLock::kStorageSize);

CRITICAL_SECTION* Native(unsigned char* storage) {
    return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}

}  // namespace

RecursiveLock::RecursiveLock() noexcept {
    InitializeCriticalSection(new (storage_) CRITICAL_SECTION);
}

RecursiveLock::~RecursiveLock() {
    DeleteCriticalSection(Native(storage_));
}

void RecursiveLock::lock() noexcept {
    EnterCriticalSection(Native(storage_));
}

bool RecursiveLock::try_lock() noexcept {
    return TryEnterCriticalSection(Native(storage_)) != 0;
}

void RecursiveLock::unlock() noexcept {
    LeaveCriticalSection(Native(storage_));
}

}  // namespace Velto::Platform
