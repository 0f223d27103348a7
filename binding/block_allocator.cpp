#include "binding/block_allocator.h"

#include <bit>
#include <cstring>

#include "binding/page_allocator.h"
#include "diagnostics/memory_statistics.h"

namespace Velto {

BlockAllocator::~BlockAllocator() {
    Clear();
}

void BlockAllocator::FormatPage(Page* page, std::size_t bytes, uint32_t blockSize) noexcept {
    const auto capacity = static_cast<uint16_t>((bytes - kPageHeaderSize) / blockSize);
    unsigned char* block = FirstBlock(page);
    for (uint16_t index = 1; index <= capacity; ++index, block += blockSize) {
        ChainLink(block) = index < capacity ? static_cast<uint16_t>(index + 1) : 0;
    }
    page->next = nullptr;
    page->used = 0;
    page->firstFree = capacity != 0 ? 1 : 0;
    page->capacity = capacity;
}

BlockAllocator::Page* BlockAllocator::PageWithFreeBlock(SizeClass& sizeClass) noexcept {
    if (sizeClass.current != nullptr && sizeClass.current->firstFree != 0) {
        return sizeClass.current;
    }
    if (sizeClass.available != 0) {
        // Released blocks wait in other pages: resume the round where the last one stopped, so
        // a run of searches visits each page about once.
        Page* page = sizeClass.cursor != nullptr ? sizeClass.cursor : sizeClass.pages;
        for (Page* start = page;;) {
            if (page->firstFree != 0) {
                sizeClass.current = page;
                sizeClass.cursor = page->next;
                return page;
            }
            page = page->next != nullptr ? page->next : sizeClass.pages;
            if (page == start) {
                break;
            }
        }
    }
    // A small class starts in its inline chunk, formatted when the class is first used: most
    // trees touch a few classes only.
    const auto index = static_cast<std::size_t>(&sizeClass - classes_);
    const bool firstPage = sizeClass.pages == nullptr;
    const bool inline_ = index < kSmallClassCount && firstPage;
    auto* page = inline_ ? reinterpret_cast<Page*>(inlineChunks_[index])
                         : static_cast<Page*>(AllocatePage());
    if (page == nullptr) {
        return nullptr;
    }
    if (firstPage) {
        sizeClass.blockSize = BlockAllocatorDetail::kClassSizes[index];
        usedClasses_ |= 1u << index;
    }
    FormatPage(page, inline_ ? kInlineChunkSize : kPageSize, sizeClass.blockSize);
    page->next = sizeClass.pages;
    sizeClass.pages = page;
    sizeClass.current = page;
    sizeClass.available += page->capacity;
    return page;
}

bool BlockAllocator::IsInlineChunk(const void* memory) const noexcept {
    const auto offset =
        reinterpret_cast<std::uintptr_t>(memory) - reinterpret_cast<std::uintptr_t>(inlineChunks_);
    return offset < sizeof inlineChunks_;
}

BlockAllocator::Page* BlockAllocator::PageOf(void* block) noexcept {
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    if (IsInlineChunk(block)) {
        const auto offset = address - reinterpret_cast<std::uintptr_t>(inlineChunks_);
        return reinterpret_cast<Page*>(inlineChunks_[offset / kInlineChunkSize]);
    }
    return reinterpret_cast<Page*>(address & ~std::uintptr_t{kPageSize - 1});
}

void* BlockAllocator::AllocateSlowly(std::size_t size, int index) noexcept {
    if (index < 0) {
        return AllocateHeap(size);
    }
    SizeClass& sizeClass = classes_[index];
    Page* page = PageWithFreeBlock(sizeClass);
    return page != nullptr ? TakeBlock(sizeClass, page) : nullptr;
}

void BlockAllocator::Release(void* block, std::size_t size) noexcept {
    if (block == nullptr) {
        return;
    }
    const int index = ClassIndex(size);
    if (index < 0) {
        ReleaseHeap(block);
        return;
    }
    SizeClass& sizeClass = classes_[index];
    Page* page = PageOf(block);
    const auto offset = static_cast<unsigned char*>(block) - FirstBlock(page);
    ChainLink(block) = page->firstFree;
    page->firstFree = static_cast<uint16_t>(offset / sizeClass.blockSize + 1);
    --page->used;
    ++sizeClass.available;
    // The page that just got a free block is where the next search should look first.
    if (sizeClass.current == nullptr || sizeClass.current->firstFree == 0) {
        sizeClass.current = page;
    } else {
        sizeClass.cursor = page;
    }
}

void* BlockAllocator::Reallocate(void* block, std::size_t oldSize, std::size_t newSize) noexcept {
    if (block == nullptr) {
        return Allocate(newSize);
    }
    const int oldIndex = ClassIndex(oldSize);
    const int newIndex = ClassIndex(newSize);
    if (oldIndex >= 0 && oldIndex == newIndex) {
        return block;
    }
    if (oldIndex < 0 && newIndex < 0) {
        return ReallocateHeap(block, newSize);
    }
    void* moved = Allocate(newSize);
    if (moved == nullptr) {
        return nullptr;
    }
    std::memcpy(moved, block, oldSize < newSize ? oldSize : newSize);
    Release(block, oldSize);
    return moved;
}

void* BlockAllocator::AllocateHeap(std::size_t size) noexcept {
    if (size > kLargestBlock) {
        return nullptr;
    }
    auto* header = static_cast<HeapBlock*>(CountedAllocate(sizeof(HeapBlock) + size));
    if (header == nullptr) {
        return nullptr;
    }
    header->previous = nullptr;
    header->next = heapBlocks_;
    if (heapBlocks_ != nullptr) {
        heapBlocks_->previous = header;
    }
    heapBlocks_ = header;
    return header + 1;
}

void BlockAllocator::ReleaseHeap(void* block) noexcept {
    HeapBlock* header = static_cast<HeapBlock*>(block) - 1;
    if (header->previous != nullptr) {
        header->previous->next = header->next;
    } else {
        heapBlocks_ = header->next;
    }
    if (header->next != nullptr) {
        header->next->previous = header->previous;
    }
    CountedRelease(header);
}

void* BlockAllocator::ReallocateHeap(void* block, std::size_t size) noexcept {
    if (size > kLargestBlock) {
        return nullptr;
    }
    HeapBlock* header = static_cast<HeapBlock*>(block) - 1;
    auto* moved = static_cast<HeapBlock*>(CountedReallocate(header, sizeof(HeapBlock) + size));
    if (moved == nullptr) {
        return nullptr;
    }
    if (moved->previous != nullptr) {
        moved->previous->next = moved;
    } else {
        heapBlocks_ = moved;
    }
    if (moved->next != nullptr) {
        moved->next->previous = moved;
    }
    return moved + 1;
}

void BlockAllocator::Clear() noexcept {
    for (uint32_t used = usedClasses_; used != 0; used &= used - 1) {
        SizeClass& sizeClass = classes_[std::countr_zero(used)];
        for (Page* page = sizeClass.pages; page != nullptr;) {
            Page* next = page->next;
            if (!IsInlineChunk(page)) {
                ReleasePage(page);
            }
            page = next;
        }
        sizeClass = SizeClass{};
    }
    usedClasses_ = 0;
    for (HeapBlock* block = heapBlocks_; block != nullptr;) {
        HeapBlock* next = block->next;
        CountedRelease(block);
        block = next;
    }
    heapBlocks_ = nullptr;
}

BlockAllocator::Statistics BlockAllocator::ReadStatistics() const noexcept {
    Statistics statistics{0, 0, 0};
    for (const SizeClass& sizeClass : classes_) {
        for (const Page* page = sizeClass.pages; page != nullptr; page = page->next) {
            if (!IsInlineChunk(page)) {
                ++statistics.pages;
            }
            statistics.blocksInUse += page->used;
        }
    }
    for (const HeapBlock* block = heapBlocks_; block != nullptr; block = block->next) {
        ++statistics.heapBlocks;
    }
    return statistics;
}

}  // namespace Velto
