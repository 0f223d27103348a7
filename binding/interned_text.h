// A text stored once per value tree, shared by every value and member name that holds it.
#pragma once

#include <cstdint>
#include <string_view>

namespace Velto {

// The entry of a storage context's text table; the NUL-terminated characters follow the entry.
// Only the owning StorageContext changes it.
struct InternedText {
    uint32_t hash;  // TextHash of the characters; 0 for the empty text
    uint32_t references;
    uint32_t length;

    const char* Text() const noexcept { return reinterpret_cast<const char*>(this + 1); }
    std::string_view View() const noexcept { return std::string_view(Text(), length); }
};

// The one process-wide empty text; never counted, never freed.
const InternedText& EmptyText() noexcept;

}  // namespace Velto
