// The blocks behind one value tree: texts, blobs, enum payloads, element and member arrays.
//
// Small blocks (4 to 72 bytes, sizes rounded up to a multiple of 4) come from 18 size classes;
// each class starts with a 144-byte chunk inside the allocator and then takes 4096-byte pages
// from the process-wide page allocator. Arrays that grow beyond 72 bytes come from further pooled
// classes of up to 2040 bytes carved from the same pages, and anything larger from the counted
// heap. A chunk or page begins with a 16-byte header (next page, count of blocks handed out,
// index of the first free block, block count); free blocks are chained by 1-based 16-bit indices
// kept in their first two bytes, the last holding 0.
//
// A block is aligned to the largest power of two, up to 16, that divides its class size: ask for
// a multiple of 8 to hold pointers or 64-bit values. Pages stay with the allocator until Clear()
// or destruction, which also free every heap block at once. Not thread-safe: one tree, one thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Velto {
namespace BlockAllocatorDetail {

// Block sizes by class: the small classes step by 4 bytes; the medium ones, multiples of 8, are
// chosen so that pages hold them with little waste.
inline constexpr std::array<uint16_t, 31> kClassSizes = {
    4,  8,  12, 16,  20,  24,  28,  32,  36,  40,  44,  48,  52,   56,   60,  64,
    68, 72, 96, 128, 160, 200, 256, 320, 408, 512, 680, 816, 1016, 1360, 2040};
inline constexpr std::size_t kSmallClassCount = 18;
// Medium classes are found by size in steps of this many bytes.
inline constexpr std::size_t kMediumStep = 8;

constexpr std::array<uint8_t, kClassSizes.back() / kMediumStep> ClassesBySteps() {
    std::array<uint8_t, kClassSizes.back() / kMediumStep> classes{};
    std::size_t index = kSmallClassCount;
    for (std::size_t step = 0; step < classes.size(); ++step) {
        while (kClassSizes[index] < (step + 1) * kMediumStep) {
            ++index;
        }
        classes[step] = static_cast<uint8_t>(index);
    }
    return classes;
}
inline constexpr std::array<uint8_t, kClassSizes.back() / kMediumStep> kClassesBySteps =
    ClassesBySteps();
static_assert(kClassSizes[kSmallClassCount - 1] == 72 && kClassSizes.back() % kMediumStep == 0);

}  // namespace BlockAllocatorDetail

class BlockAllocator {
  public:
    static constexpr std::size_t kSmallClassCount = BlockAllocatorDetail::kSmallClassCount;
    static constexpr std::size_t kLargestSmallBlock = 72;
    static constexpr std::size_t kInlineChunkSize = 144;
    static constexpr std::size_t kPageHeaderSize = 16;
    static constexpr std::size_t kLargestPooledBlock = BlockAllocatorDetail::kClassSizes.back();
    // Larger requests fail; keeps every size computation far from overflow.
    static constexpr std::size_t kLargestBlock = 0x7FFF0000;

    BlockAllocator() noexcept = default;
    ~BlockAllocator();
    BlockAllocator(const BlockAllocator&) = delete;
    BlockAllocator& operator=(const BlockAllocator&) = delete;

    // A block of at least `size` bytes (0 counts as 1), or null when memory is exhausted.
    void* Allocate(std::size_t size) noexcept {
        const int index = ClassIndex(size);
        if (index >= 0) {
            SizeClass& sizeClass = classes_[index];
            if (sizeClass.current != nullptr && sizeClass.current->firstFree != 0) {
                return TakeBlock(sizeClass, sizeClass.current);
            }
        }
        return AllocateSlowly(size, index);
    }
    // Returns `block`, allocated with `size` (any size with the same BlockSize); null is ignored.
    void Release(void* block, std::size_t size) noexcept;
    // Resizes keeping the first min(oldSize, newSize) bytes; null block allocates. On failure
    // returns null and leaves `block` as it was.
    void* Reallocate(void* block, std::size_t oldSize, std::size_t newSize) noexcept;

    // The bytes actually reserved for a request of `size`: its class size, or `size` itself for a
    // heap block.
    static std::size_t BlockSize(std::size_t size) noexcept {
        const int index = ClassIndex(size);
        return index >= 0 ? BlockAllocatorDetail::kClassSizes[static_cast<std::size_t>(index)]
                          : size;
    }

    // Frees every block at once and returns the pages.
    void Clear() noexcept;

    struct Statistics {
        std::size_t pages;        // pages taken from the page allocator
        std::size_t blocksInUse;  // pooled blocks handed out
        std::size_t heapBlocks;   // blocks beyond the pooled classes
    };
    Statistics ReadStatistics() const noexcept;

  private:
    struct alignas(16) Page {
        Page* next;
        uint16_t used;
        uint16_t firstFree;
        uint16_t capacity;
    };
    // All zero until the class is first used, so that a new or cleared allocator touches only
    // the classes a tree needs.
    struct SizeClass {
        Page* pages;
        Page* current;  // where the next block comes from while it has one
        Page* cursor;   // where the search for a page with free blocks resumes
        uint32_t available;
        uint32_t blockSize;  // set with the first page
    };
    struct alignas(16) HeapBlock {
        HeapBlock* previous;
        HeapBlock* next;
    };

    static constexpr std::size_t kClassCount = BlockAllocatorDetail::kClassSizes.size();
    static_assert(kClassCount <= 32, "one bit per class in usedClasses_");

    // The class of a block of `size` bytes; -1 beyond the pooled classes.
    static int ClassIndex(std::size_t size) noexcept {
        if (size <= kLargestSmallBlock) {
            return size == 0 ? 0 : static_cast<int>((size - 1) / 4);
        }
        using namespace BlockAllocatorDetail;
        return size <= kLargestPooledBlock ? kClassesBySteps[(size - 1) / kMediumStep] : -1;
    }
    static unsigned char* FirstBlock(void* page) noexcept {
        return static_cast<unsigned char*>(page) + kPageHeaderSize;
    }
    // The link of a free block to the next one: a 1-based index, 0 for none.
    static uint16_t& ChainLink(void* block) noexcept { return *static_cast<uint16_t*>(block); }
    // The first free block of `page`, the current page of `sizeClass`.
    void* TakeBlock(SizeClass& sizeClass, Page* page) noexcept {
        unsigned char* block = FirstBlock(page) + (page->firstFree - 1u) * sizeClass.blockSize;
        page->firstFree = ChainLink(block);
        ++page->used;
        --sizeClass.available;
        return block;
    }
    void* AllocateSlowly(std::size_t size, int index) noexcept;
    static void FormatPage(Page* page, std::size_t bytes, uint32_t blockSize) noexcept;
    Page* PageWithFreeBlock(SizeClass& sizeClass) noexcept;
    bool IsInlineChunk(const void* memory) const noexcept;
    Page* PageOf(void* block) noexcept;
    void* AllocateHeap(std::size_t size) noexcept;
    void ReleaseHeap(void* block) noexcept;
    void* ReallocateHeap(void* block, std::size_t size) noexcept;

    SizeClass classes_[kClassCount] = {};
    uint32_t usedClasses_ = 0;  // bit i: class i has pages
    HeapBlock* heapBlocks_ = nullptr;
    alignas(16) unsigned char inlineChunks_[kSmallClassCount][kInlineChunkSize];
};

}  // namespace Velto
