// The process-wide source of the pages behind every value tree's block allocator.
//
// Pages are 4096 bytes and aligned to 4096, so a block's page is found from the block's address
// alone. They are cut from 64 KiB slabs taken with CountedAllocate; a slab whose pages all came
// back is returned to the heap, except one spare kept against allocation churn. All functions are
// thread-safe: one mutex guards every page operation.
#pragma once

#include <cstddef>

namespace Velto {

inline constexpr std::size_t kPageSize = 4096;

// A page, or null when the heap is exhausted.
void* AllocatePage() noexcept;

// Returns a page obtained from AllocatePage; null is ignored.
void ReleasePage(void* page) noexcept;

// Gives every slab whose pages are all free back to the heap, the spare one included, and the
// slab table once no slab is left: what a module's end calls so that the plug-in holds no memory
// between modules.
void ReleaseEmptySlabs() noexcept;

struct PageStatistics {
    std::size_t slabs;
    std::size_t pagesInUse;
    std::size_t pagesFree;  // cut from slabs and not handed out
};

PageStatistics ReadPageStatistics() noexcept;

}  // namespace Velto
