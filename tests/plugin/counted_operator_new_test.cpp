// The library's operator new and delete, linked into this program as they are into the library.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "diagnostics/memory_statistics.h"

namespace {

using Velto::Client::MemoryStats;

using Size = std::size_t;

struct Pairing {
    const char* name;
    Size alignment;  // 0 for the forms without an alignment
    void* (*allocate)(Size size, Size alignment);
    void (*release)(void* block, Size size, Size alignment);
};

std::align_val_t Align(Size alignment) {
    return static_cast<std::align_val_t>(alignment);
}

const std::nothrow_t& kNoThrow = std::nothrow;

const Pairing kPairings[] = {
    {"new / delete", 0, [](Size n, Size) { return operator new(n); },
     [](void* p, Size, Size) { operator delete(p); }},
    {"new[] / delete[]", 0, [](Size n, Size) { return operator new[](n); },
     [](void* p, Size, Size) { operator delete[](p); }},
    {"nothrow new / sized delete", 0, [](Size n, Size) { return operator new(n, kNoThrow); },
     [](void* p, Size n, Size) { operator delete(p, n); }},
    {"nothrow new[] / sized delete[]", 0, [](Size n, Size) { return operator new[](n, kNoThrow); },
     [](void* p, Size n, Size) { operator delete[](p, n); }},
    {"new / nothrow delete", 0, [](Size n, Size) { return operator new(n); },
     [](void* p, Size, Size) { operator delete(p, kNoThrow); }},
    {"new[] / nothrow delete[]", 0, [](Size n, Size) { return operator new[](n); },
     [](void* p, Size, Size) { operator delete[](p, kNoThrow); }},
    {"aligned new / delete", 64, [](Size n, Size a) { return operator new(n, Align(a)); },
     [](void* p, Size, Size a) { operator delete(p, Align(a)); }},
    {"aligned new[] / delete[]", 128, [](Size n, Size a) { return operator new[](n, Align(a)); },
     [](void* p, Size, Size a) { operator delete[](p, Align(a)); }},
    {"aligned nothrow new / sized delete", 4096,
     [](Size n, Size a) { return operator new(n, Align(a), kNoThrow); },
     [](void* p, Size n, Size a) { operator delete(p, n, Align(a)); }},
    {"aligned nothrow new[] / sized delete[]", 32,
     [](Size n, Size a) { return operator new[](n, Align(a), kNoThrow); },
     [](void* p, Size n, Size a) { operator delete[](p, n, Align(a)); }},
    {"aligned new / nothrow delete", 256, [](Size n, Size a) { return operator new(n, Align(a)); },
     [](void* p, Size, Size a) { operator delete(p, Align(a), kNoThrow); }},
    {"aligned new[] / nothrow delete[]", 16,
     [](Size n, Size a) { return operator new[](n, Align(a)); },
     [](void* p, Size, Size a) { operator delete[](p, Align(a), kNoThrow); }},
};

TEST(CountedOperatorNew, EveryFormIsCountedAlignedAndGivenBackWhole) {
    for (const Pairing& pairing : kPairings) {
        for (const std::size_t size : {std::size_t{0}, std::size_t{24}, std::size_t{5000}}) {
            SCOPED_TRACE(testing::Message() << pairing.name << ", " << size << " bytes");
            const MemoryStats before = Velto::ReadMemoryStatistics();
            void* block = pairing.allocate(size, pairing.alignment);
            const MemoryStats allocated = Velto::ReadMemoryStatistics();
            ASSERT_NE(block, nullptr);
            std::memset(block, 0x5A, size);
            pairing.release(block, size, pairing.alignment);
            const MemoryStats released = Velto::ReadMemoryStatistics();

            const std::size_t alignment = pairing.alignment != 0 ? pairing.alignment : 1;
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % alignment, 0u);
            EXPECT_EQ(allocated.allocationCount - before.allocationCount, 1u);
            EXPECT_GE(allocated.bytesAllocated - before.bytesAllocated, size);
            EXPECT_EQ(released.freeCount - allocated.freeCount, 1u);
            EXPECT_EQ(released.bytesFreed - allocated.bytesFreed,
                      allocated.bytesAllocated - before.bytesAllocated)
                << "the block given back is the one handed out";
        }
    }
}

// Read at run time, so that the compiler sees no impossible size.
volatile std::size_t hugeSize = SIZE_MAX;

TEST(CountedOperatorNew, ImpossibleSizesThrowOrYieldNull) {
    const std::size_t huge = hugeSize;
    EXPECT_THROW(static_cast<void>(operator new(huge)), std::bad_alloc);
    EXPECT_THROW(static_cast<void>(operator new[](huge)), std::bad_alloc);
    EXPECT_EQ(operator new(huge, std::nothrow), nullptr);
    EXPECT_EQ(operator new[](huge, std::nothrow), nullptr);
    // A size whose alignment padding would wrap around.
    EXPECT_THROW(static_cast<void>(operator new(huge - 8, Align(64))), std::bad_alloc);
    EXPECT_THROW(static_cast<void>(operator new[](huge - 8, Align(64))), std::bad_alloc);
    EXPECT_EQ(operator new(huge - 8, Align(64), std::nothrow), nullptr);
    EXPECT_EQ(operator new[](huge / 2, Align(64), std::nothrow), nullptr);
    // Releasing null is a no-op in every form.
    const MemoryStats before = Velto::ReadMemoryStatistics();
    operator delete(nullptr, Align(64));
    operator delete[](nullptr, std::size_t{8}, Align(64));
    operator delete(nullptr);
    EXPECT_EQ(Velto::ReadMemoryStatistics().freeCount, before.freeCount);
}

}  // namespace
