#include "platform/recursive_lock.h"

#include <pthread.h>

#include <new>

namespace Velto::Platform {
namespace {

static_assert(sizeof(pthread_mutex_t) <= RecursiveLock::kStorageSize);

pthread_mutex_t* Native(unsigned char* storage) {
    return std::launder(reinterpret_cast<pthread_mutex_t*>(storage));
}

}  // namespace

RecursiveLock::RecursiveLock() noexcept {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(new (storage_) pthread_mutex_t, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

RecursiveLock::~RecursiveLock() {
    pthread_mutex_destroy(Native(storage_));
}

void RecursiveLock::lock() noexcept {
    pthread_mutex_lock(Native(storage_));
}

bool RecursiveLock::try_lock() noexcept {
    return pthread_mutex_trylock(Native(storage_)) == 0;
}

void RecursiveLock::unlock() noexcept {
    pthread_mutex_unlock(Native(storage_));
}

}  // namespace Velto::Platform
