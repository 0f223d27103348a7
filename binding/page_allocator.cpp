#include "binding/page_allocator.h"

#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>

#include "diagnostics/memory_statistics.h"

namespace Velto {
namespace {

// One slab holds this many aligned pages plus the slack that aligning needs.
constexpr std::size_t kPagesPerSlab = 15;
constexpr std::size_t kSlabBytes = (kPagesPerSlab + 1) * kPageSize;

struct FreePage {
    FreePage* next;
};

struct Slab {
    std::uintptr_t base;  // first page
    void* raw;            // what CountedAllocate returned
    FreePage* free;
    std::size_t freeCount;
};

struct PagePool {
    Slab* slabs = nullptr;  // sorted by base
    std::size_t slabCount = 0;
    std::size_t slabCapacity = 0;
    std::size_t hint = 0;  // a slab likely to have a free page
    std::size_t emptySlabs = 0;
    std::size_t pagesInUse = 0;
    std::size_t pagesFree = 0;
};

// Constant-initialised and never destroyed (a union does not destroy its member), so trees that
// outlive static destruction still find their pages.
union PoolStorage {
    constexpr PoolStorage() : pool() {}
    ~PoolStorage() {}
    PagePool pool;
};
constinit PoolStorage storage;
PagePool& pool = storage.pool;

// The pool's lock, made on first use and never destroyed, for the same reason; not part of the
// constant-initialised pool because not every C++ library's mutex can be constant-initialised.
std::mutex& PoolMutex() {
    alignas(std::mutex) static unsigned char raw[sizeof(std::mutex)];
    static std::mutex* const mutex = ::new (raw) std::mutex();
    return *mutex;
}

std::size_t SlabIndexAtOrBefore(std::uintptr_t address) {
    std::size_t low = 0;
    std::size_t high = pool.slabCount;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (pool.slabs[middle].base <= address) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low - 1;  // wraps when no slab starts at or before the address; callers check
}

bool GrowSlabArray() {
    const std::size_t capacity = pool.slabCapacity != 0 ? pool.slabCapacity * 2 : 16;
    void* grown = CountedReallocate(pool.slabs, capacity * sizeof(Slab));
    if (grown == nullptr) {
        return false;
    }
    pool.slabs = static_cast<Slab*>(grown);
    pool.slabCapacity = capacity;
    return true;
}

bool AddSlab() {
    if (pool.slabCount == pool.slabCapacity && !GrowSlabArray()) {
        return false;
    }
    void* raw = CountedAllocate(kSlabBytes);
    if (raw == nullptr) {
        return false;
    }
    const std::uintptr_t base =
        (reinterpret_cast<std::uintptr_t>(raw) + kPageSize - 1) & ~std::uintptr_t{kPageSize - 1};
    Slab slab{base, raw, nullptr, kPagesPerSlab};
    for (std::size_t page = kPagesPerSlab; page-- > 0;) {
        auto* free = reinterpret_cast<FreePage*>(base + page * kPageSize);
        free->next = slab.free;
        slab.free = free;
    }
    const std::size_t index = SlabIndexAtOrBefore(base) + 1;
    std::memmove(pool.slabs + index + 1, pool.slabs + index,
                 (pool.slabCount - index) * sizeof(Slab));
    pool.slabs[index] = slab;
    ++pool.slabCount;
    pool.hint = index;
    ++pool.emptySlabs;
    pool.pagesFree += kPagesPerSlab;
    return true;
}

Slab* SlabWithFreePage() {
    if (pool.hint < pool.slabCount && pool.slabs[pool.hint].freeCount != 0) {
        return &pool.slabs[pool.hint];
    }
    for (std::size_t index = 0; index < pool.slabCount; ++index) {
        if (pool.slabs[index].freeCount != 0) {
            pool.hint = index;
            return &pool.slabs[index];
        }
    }
    return nullptr;
}

void RemoveSlab(std::size_t index) {
    CountedRelease(pool.slabs[index].raw);
    std::memmove(pool.slabs + index, pool.slabs + index + 1,
                 (pool.slabCount - index - 1) * sizeof(Slab));
    --pool.slabCount;
    pool.pagesFree -= kPagesPerSlab;
    pool.hint = 0;
}

}  // namespace

void* AllocatePage() noexcept {
    std::lock_guard lock(PoolMutex());
    if (pool.pagesFree == 0 && !AddSlab()) {
        return nullptr;
    }
    Slab* slab = SlabWithFreePage();
    if (slab->freeCount == kPagesPerSlab) {
        --pool.emptySlabs;
    }
    FreePage* page = slab->free;
    slab->free = page->next;
    --slab->freeCount;
    --pool.pagesFree;
    ++pool.pagesInUse;
    return page;
}

void ReleasePage(void* page) noexcept {
    if (page == nullptr) {
        return;
    }
    std::lock_guard lock(PoolMutex());
    const auto address = reinterpret_cast<std::uintptr_t>(page);
    const std::size_t index = SlabIndexAtOrBefore(address);
    if (index >= pool.slabCount || address >= pool.slabs[index].base + kPagesPerSlab * kPageSize) {
        return;
    }
    Slab& slab = pool.slabs[index];
    auto* free = static_cast<FreePage*>(page);
    free->next = slab.free;
    slab.free = free;
    ++slab.freeCount;
    ++pool.pagesFree;
    --pool.pagesInUse;
    pool.hint = index;
    if (slab.freeCount != kPagesPerSlab) {
        return;
    }
    // Keep one empty slab for the next tree; give the others back.
    if (pool.emptySlabs == 0) {
        ++pool.emptySlabs;
    } else {
        RemoveSlab(index);
    }
}

void ReleaseEmptySlabs() noexcept {
    std::lock_guard lock(PoolMutex());
    for (std::size_t index = pool.slabCount; index-- > 0;) {
        if (pool.slabs[index].freeCount == kPagesPerSlab) {
            RemoveSlab(index);
        }
    }
    pool.emptySlabs = 0;
    if (pool.slabCount == 0) {
        CountedRelease(pool.slabs);
        pool.slabs = nullptr;
        pool.slabCapacity = 0;
    }
}

PageStatistics ReadPageStatistics() noexcept {
    std::lock_guard lock(PoolMutex());
    return PageStatistics{pool.slabCount, pool.pagesInUse, pool.pagesFree};
}

}  // namespace Velto
