// The library's own operator new and delete, counted for the host's memory statistics.
//
// They are linked into the shared library only, which exports nothing but its entry point, so
// they replace the allocation functions of the library's code (its static C++ runtime included)
// and never those of the host process.
#include <cstddef>
#include <cstdint>
#include <new>

#include "diagnostics/memory_statistics.h"

namespace {

void* AllocateOrThrow(std::size_t size) {
    void* block = Velto::CountedAllocate(size != 0 ? size : 1);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

// Over-aligned blocks keep the address malloc returned just in front of the aligned address.
void* AllocateAligned(std::size_t size, std::align_val_t alignment) noexcept {
    const std::size_t align = static_cast<std::size_t>(alignment);
    if (size > SIZE_MAX - align - sizeof(void*)) {
        return nullptr;
    }
    void* raw = Velto::CountedAllocate(size + align + sizeof(void*));
    if (raw == nullptr) {
        return nullptr;
    }
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
    void* aligned = reinterpret_cast<void*>((first + align - 1) & ~(std::uintptr_t{align} - 1));
    static_cast<void**>(aligned)[-1] = raw;
    return aligned;
}

void ReleaseAligned(void* block) noexcept {
    if (block != nullptr) {
        Velto::CountedRelease(static_cast<void**>(block)[-1]);
    }
}

void* AllocateAlignedOrThrow(std::size_t size, std::align_val_t alignment) {
    void* block = AllocateAligned(size, alignment);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

}  // namespace

void* operator new(std::size_t size) {
    return AllocateOrThrow(size);
}
void* operator new[](std::size_t size) {
    return AllocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Velto::CountedAllocate(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Velto::CountedAllocate(size != 0 ? size : 1);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return AllocateAlignedOrThrow(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return AllocateAlignedOrThrow(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, alignment);
}

void operator delete(void* block) noexcept {
    Velto::CountedRelease(block);
}
void operator delete[](void* block) noexcept {
    Velto::CountedRelease(block);
}
void operator delete(void* block, std::size_t) noexcept {
    Velto::CountedRelease(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    Velto::CountedRelease(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    Velto::CountedRelease(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    Velto::CountedRelease(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    ReleaseAligned(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    ReleaseAligned(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    ReleaseAligned(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    ReleaseAligned(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    ReleaseAligned(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    ReleaseAligned(block);
}
