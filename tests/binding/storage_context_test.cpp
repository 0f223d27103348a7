#include "binding/storage_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "binding/fnv1a.h"
#include "binding/page_allocator.h"
#include "binding/text_hash.h"

namespace {

using Velto::BlockAllocator;
using Velto::InternedText;
using Velto::StorageContext;

struct ContextDeleter {
    void operator()(StorageContext* context) const { StorageContext::Destroy(context); }
};
using ContextPointer = std::unique_ptr<StorageContext, ContextDeleter>;

ContextPointer NewContext() {
    return ContextPointer(StorageContext::Create());
}

uintptr_t Address(const void* block) {
    return reinterpret_cast<uintptr_t>(block);
}

// The empty text is one shared text that is never counted. A stable text is found again by its
// address only while the content there is unchanged.
TEST(StorageContext, EmptyTextIsSharedAndStableTextsAreFoundByAddressAndContent) {
    ContextPointer context = NewContext();
    EXPECT_EQ(context->Intern(std::string_view()), &Velto::EmptyText());
    EXPECT_EQ(context->InternStable("", Velto::Fnv1a("")), &Velto::EmptyText());
    context->Release(&Velto::EmptyText());
    context->Retain(&Velto::EmptyText());
    EXPECT_EQ(Velto::EmptyText().references, 0u);
    EXPECT_EQ(context->TextCount(), 0u);
    char text[4] = "one";
    const InternedText* first = context->InternStable(text, Velto::Fnv1a("one"));
    EXPECT_EQ(first->View(), "one");
    EXPECT_EQ(context->InternStable(text, Velto::Fnv1a("one")), first);
    context->Release(first);
    context->Release(first);
    EXPECT_EQ(context->TextCount(), 1u) << "the cache still holds the text";
    std::memcpy(text, "two", 3);
    const InternedText* second = context->InternStable(text, Velto::Fnv1a("two"));
    EXPECT_EQ(second->View(), "two");
    context->Release(second);
}

TEST(StorageContext, TextsAreSharedCountedAndErasedWithTheirLastReferenceAcrossTableGrowth) {
    ContextPointer context = NewContext();
    EXPECT_EQ(Address(context.get()) % 32, 0u) << "aligned for tagged pointers";
    std::vector<const InternedText*> texts;
    for (int index = 0; index < 3000; ++index) {
        texts.push_back(context->Intern("text number " + std::to_string(index)));
    }
    EXPECT_EQ(context->TextCount(), 3000u);
    const InternedText* first = texts[0];
    EXPECT_EQ(first->View(), "text number 0");
    EXPECT_EQ(first->Text()[first->length], '\0') << "texts are NUL-terminated";
    context->Retain(first);
    context->Release(first);
    EXPECT_EQ(first->references, 1u);
    for (int index = 0; index < 3000; index += 3) {
        context->Release(texts[index]);
    }
    EXPECT_EQ(context->TextCount(), 2000u);
    for (int index = 0; index < 3000; ++index) {
        const InternedText* again = context->Intern("text number " + std::to_string(index));
        EXPECT_EQ(again->references, index % 3 != 0 ? 2u : 1u) << index;
        if (index % 3 != 0) {
            EXPECT_EQ(again, texts[index]) << index;
        }
    }
    EXPECT_EQ(context->TextCount(), 3000u);
    const std::string longText(5000, 'x');
    EXPECT_EQ(context->Intern(longText)->View(), longText);

    context->Clear();
    EXPECT_EQ(context->TextCount(), 0u);
    const BlockAllocator::Statistics cleared = context->Blocks().ReadStatistics();
    EXPECT_EQ(cleared.pages, 0u);
    EXPECT_EQ(cleared.blocksInUse, 0u);
    EXPECT_EQ(cleared.heapBlocks, 0u) << "the long text's block goes too";
    EXPECT_EQ(context->Intern("text number 1")->references, 1u) << "the context stays usable";
}

TEST(TextHash, DependsOnTheLengthButNotTheAddress) {
    // Long enough for several rounds of the four-lane loop.
    const std::string base =
        "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-_abcdefghijklmnopqrs";
    std::set<uint32_t> hashes;
    for (std::size_t length = 0; length <= base.size(); ++length) {
        const std::string text = base.substr(0, length);
        const std::string copy = "." + text;
        EXPECT_EQ(Velto::TextHash(text), Velto::TextHash(std::string_view(copy).substr(1)))
            << length;
        hashes.insert(Velto::TextHash(text));
    }
    EXPECT_EQ(hashes.size(), base.size() + 1) << "every length hashes differently";
}

TEST(BlockAllocator, RoundsRequestsToTheirSizeClassAlignedToItsLargestPowerOfTwoUpTo16) {
    const std::pair<std::size_t, std::size_t> cases[] = {
        {0, 4},    {1, 4},     {4, 4},     {5, 8},       {13, 16},     {72, 72},    {73, 96},
        {97, 128}, {200, 200}, {201, 256}, {2040, 2040}, {2041, 2041}, {5000, 5000}};
    BlockAllocator blocks;
    for (const auto& [request, block] : cases) {
        SCOPED_TRACE("request " + std::to_string(request));
        EXPECT_EQ(BlockAllocator::BlockSize(request), block);
        const std::size_t alignment = std::min<std::size_t>(16, block & (~block + 1));
        for (int copy = 0; copy < 3; ++copy) {
            EXPECT_EQ(Address(blocks.Allocate(request)) % alignment, 0u);
        }
    }
}

TEST(BlockAllocator, FreeChainsSurviveFullPagesReleasedInAnyOrder) {
    BlockAllocator blocks;
    constexpr std::size_t kInline = 32;
    constexpr std::size_t kPerPage = (Velto::kPageSize - BlockAllocator::kPageHeaderSize) / 4;
    constexpr std::size_t kCount = kInline + 2 * kPerPage;
    std::vector<uint32_t*> allocated;
    for (std::size_t index = 0; index < kCount; ++index) {
        auto* block = static_cast<uint32_t*>(blocks.Allocate(4));
        ASSERT_NE(block, nullptr);
        *block = static_cast<uint32_t>(index) * 2654435761u;
        allocated.push_back(block);
    }
    EXPECT_EQ(blocks.ReadStatistics().pages, 2u) << "inline chunk and two pages exactly full";
    EXPECT_EQ(Address(allocated[kInline]) % Velto::kPageSize, BlockAllocator::kPageHeaderSize)
        << "the first block of a page follows its 16-byte header";
    EXPECT_EQ(std::set<uint32_t*>(allocated.begin(), allocated.end()).size(), kCount);
    for (std::size_t index = 0; index < kCount; ++index) {
        ASSERT_EQ(*allocated[index], static_cast<uint32_t>(index) * 2654435761u)
            << "block " << index << " was overwritten";
    }
    // A stride coprime with the count visits every block once, far from address order.
    for (std::size_t step = 0, index = 0; step < kCount; ++step, index = (index + 997) % kCount) {
        blocks.Release(allocated[index], 4);
    }
    EXPECT_EQ(blocks.ReadStatistics().blocksInUse, 0u);
    std::set<uint32_t*> again;
    for (std::size_t index = 0; index < kCount; ++index) {
        again.insert(static_cast<uint32_t*>(blocks.Allocate(4)));
    }
    EXPECT_EQ(again, std::set<uint32_t*>(allocated.begin(), allocated.end()))
        << "every released block is handed out again, and only those";
    EXPECT_EQ(blocks.ReadStatistics().pages, 2u);
}

TEST(BlockAllocator, ReallocateKeepsContentAcrossClassesAndTheHeapAndRefusesOversizedRequests) {
    BlockAllocator blocks;
    const std::size_t sizes[] = {12, 100, 3000, 9000, 40, 8};
    std::size_t size = sizes[0];
    auto* block = static_cast<unsigned char*>(blocks.Allocate(size));
    for (std::size_t index = 0; index < size; ++index) {
        block[index] = static_cast<unsigned char>(index * 7);
    }
    for (const std::size_t next : sizes) {
        block = static_cast<unsigned char*>(blocks.Reallocate(block, size, next));
        ASSERT_NE(block, nullptr);
        const std::size_t kept = std::min(size, next);
        for (std::size_t index = 0; index < std::min<std::size_t>(kept, 12); ++index) {
            ASSERT_EQ(block[index], static_cast<unsigned char>(index * 7)) << "size " << next;
        }
        size = next;
    }
    blocks.Release(block, size);
    EXPECT_EQ(blocks.ReadStatistics().heapBlocks, 0u);
    EXPECT_EQ(blocks.ReadStatistics().blocksInUse, 0u);
    // Requests beyond the largest block fail without harm.
    EXPECT_EQ(blocks.Allocate(BlockAllocator::kLargestBlock + 1), nullptr);
    block = static_cast<unsigned char*>(blocks.Allocate(3000));
    EXPECT_EQ(blocks.Reallocate(block, 3000, BlockAllocator::kLargestBlock + 1), nullptr);
    EXPECT_EQ(blocks.ReadStatistics().heapBlocks, 1u) << "a failed reallocation keeps the block";
    blocks.Release(block, 3000);
}

TEST(PageAllocator, PagesAreAlignedAndEmptySlabsGoBack) {
    const Velto::PageStatistics before = Velto::ReadPageStatistics();
    std::vector<void*> pages;
    for (int index = 0; index < 100; ++index) {
        void* page = Velto::AllocatePage();
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(Address(page) % Velto::kPageSize, 0u);
        std::memset(page, 0xA5, Velto::kPageSize);
        pages.push_back(page);
    }
    while (Velto::ReadPageStatistics().pagesFree != 0) {
        pages.push_back(Velto::AllocatePage());
    }
    EXPECT_EQ(Velto::ReadPageStatistics().pagesInUse, before.pagesInUse + pages.size());
    EXPECT_GE(Velto::ReadPageStatistics().slabs, 7u);
    // Every slab is full. Free a page in the highest slab, then one in a slab further down but
    // above the lowest: the second is handed out first, then the search skips the full slabs
    // from the lowest up and finds the first.
    std::sort(pages.begin(), pages.end());
    const auto slabSpan = static_cast<std::ptrdiff_t>(64 * 1024);
    void* const top = pages.back();
    void* const middle = pages[pages.size() / 2];
    ASSERT_GE(static_cast<char*>(top) - static_cast<char*>(middle), slabSpan);
    ASSERT_GE(static_cast<char*>(middle) - static_cast<char*>(pages.front()), slabSpan);
    Velto::ReleasePage(top);
    Velto::ReleasePage(middle);
    EXPECT_EQ(Velto::AllocatePage(), middle);
    EXPECT_EQ(Velto::AllocatePage(), top);
    for (void* page : pages) {
        Velto::ReleasePage(page);
    }
    const Velto::PageStatistics after = Velto::ReadPageStatistics();
    EXPECT_EQ(after.pagesInUse, before.pagesInUse);
    EXPECT_LE(after.slabs, before.slabs + 1) << "only one empty slab is kept";
    Velto::ReleasePage(nullptr);
}

}  // namespace
