#include "formats/json_reader.h"

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <system_error>

#include "diagnostics/bounded_print.h"
#include "formats/nesting_limit.h"

namespace Velto {
namespace {

constexpr std::size_t kMessageSize = 160;

bool IsJsonSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsBlank(const char* text) {
    while (IsJsonSpace(*text)) {
        ++text;
    }
    return *text == '\0';
}

// Texts of the tree end at their first NUL, as they would in a C string. Keys and short texts
// are scanned inline: a library call would cost more than the scan.
std::string_view Terminated(const char* text, rapidjson::SizeType length) {
    constexpr rapidjson::SizeType kInlineScan = 32;
    if (length <= kInlineScan) {
        rapidjson::SizeType size = 0;
        while (size < length && text[size] != '\0') {
            ++size;
        }
        return std::string_view(text, size);
    }
    const void* nul = std::memchr(text, '\0', length);
    return std::string_view(
        text,
        nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : length);
}

bool IsNumberCharacter(char c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// RapidJSON's English text for `code`. The text for a value after the root keeps the wording
// callers have always been given; newer RapidJSON releases reworded it.
const char* ParseErrorText(rapidjson::ParseErrorCode code) {
    if (code == rapidjson::kParseErrorDocumentRootNotSingular) {
        return "The document root must not follow by other values.";
    }
    return rapidjson::GetParseError_En(code);
}

// The start of the number whose text ends at `end`; `head` is the start of the whole text.
const char* NumberStart(const char* head, const char* end) {
    const char* begin = end;
    while (begin != head && IsNumberCharacter(begin[-1])) {
        --begin;
    }
    return begin;
}

// The double nearest to the number in [begin, end), or `value` when the text does not convert.
// RapidJSON's default conversion can be a unit in the last place off, so a double written as
// its shortest text would not read back the same; its exact mode trips over zeros with
// exponents ("0e-300"), so the value is taken from the text here.
double ExactDouble(double value, const char* begin, const char* end) {
    double exact = 0.0;
    const std::from_chars_result converted = std::from_chars(begin, end, exact);
    return converted.ec == std::errc() && converted.ptr == end ? exact : value;
}

// "Error: <RapidJSON's English text for code> at offset <offset>." into `message`.
template <std::size_t Size>
void FormatParseError(char (&message)[Size], rapidjson::ParseErrorCode code, std::size_t offset) {
    BoundedPrint(message, Size, "Error: %s at offset %u.", ParseErrorText(code),
                 static_cast<unsigned>(offset));
}

// RapidJSON's string stream, but one its parser reads in place instead of through a local copy
// (StreamTraits of this type keep the default), so a number event sees where the number ended.
struct TextStream : rapidjson::StringStream {
    using rapidjson::StringStream::StringStream;
};

// Builds the tree straight from the parser's events. Each value event first finds its target:
// a new element when the innermost open container is a collection, otherwise the value chosen
// before (the root, or the member named by the last key).
class TreeBuilder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, TreeBuilder> {
  public:
    // `stream` is the one the parser reads, so a number event can look back at its text.
    TreeBuilder(BindingProperty& root, const TextStream& stream) noexcept
        : stream_(stream), target_(&root) {}

    // Our own reason for stopping the parser, or null when the parser stopped by itself.
    const char* Failure() const noexcept { return failure_; }

    bool Null() noexcept { return Target() != nullptr; }
    bool Bool(bool value) noexcept { return Store(value); }
    bool Int(int value) noexcept { return Store(static_cast<int64_t>(value)); }
    bool Uint(unsigned value) noexcept { return Store(static_cast<uint64_t>(value)); }
    bool Int64(int64_t value) noexcept { return Store(value); }
    bool Uint64(uint64_t value) noexcept { return Store(value); }
    bool Double(double value) noexcept {
        const char* begin = NumberStart(stream_.head_, stream_.src_);
        const double exact = ExactDouble(value, begin, stream_.src_);
        // RapidJSON lets some numbers beyond the double range through as infinities, which
        // JSON cannot spell and would write back as null.
        if (!std::isfinite(exact)) {
            FormatParseError(message_, rapidjson::kParseErrorNumberTooBig,
                             static_cast<std::size_t>(begin - stream_.head_));
            failure_ = message_;
            return false;
        }
        return Store(exact);
    }
    bool String(const char* text, rapidjson::SizeType length, bool) noexcept {
        BindingProperty* target = Target();
        if (target == nullptr) {
            return false;
        }
        target->SetString(Terminated(text, length));
        return true;
    }

    bool StartObject() noexcept {
        BindingProperty* target = Open(false);
        if (target != nullptr) {
            target->MakeStructure();
        }
        return target != nullptr;
    }
    bool Key(const char* text, rapidjson::SizeType length, bool) noexcept {
        target_ = &open_[depth_ - 1].container->Member(Terminated(text, length));
        return true;
    }
    bool EndObject(rapidjson::SizeType) noexcept { return Close(); }

    bool StartArray() noexcept {
        BindingProperty* target = Open(true);
        if (target != nullptr) {
            target->MakeCollection();
        }
        return target != nullptr;
    }
    bool EndArray(rapidjson::SizeType) noexcept { return Close(); }

  private:
    struct OpenContainer {
        BindingProperty* container;
        std::size_t elements;  // appended so far; only for collections
        bool isCollection;
    };

    template <class T>
    bool Store(T value) noexcept {
        BindingProperty* target = Target();
        if (target == nullptr) {
            return false;
        }
        *target = value;
        return true;
    }

    BindingProperty* Target() noexcept {
        if (depth_ == 0 || !open_[depth_ - 1].isCollection) {
            return target_;
        }
        OpenContainer& open = open_[depth_ - 1];
        BindingProperty& element = open.container->Append();
        // Append hands out a detached scratch value when the collection cannot grow; taking it
        // would drop the element silently.
        if (open.container->Size() != open.elements + 1) {
            failure_ = "Collection too large to hold in memory.";
            return nullptr;
        }
        ++open.elements;
        return &element;
    }

    BindingProperty* Open(bool isCollection) noexcept {
        if (depth_ == kMaxNestingDepth) {
            failure_ = kNestingTooDeepMessage;
            return nullptr;
        }
        BindingProperty* target = Target();
        if (target != nullptr) {
            open_[depth_++] = OpenContainer{target, 0, isCollection};
        }
        return target;
    }

    bool Close() noexcept {
        --depth_;
        return true;
    }

    const TextStream& stream_;
    BindingProperty* target_;
    const char* failure_ = nullptr;
    char message_[kMessageSize];
    int depth_ = 0;
    std::array<OpenContainer, kMaxNestingDepth> open_;
};

void SetParseFailure(BindingResult& result, const rapidjson::ParseResult& parsed) {
    char message[kMessageSize];
    FormatParseError(message, parsed.Code(), parsed.Offset());
    result.SetFailure(message);
}

}  // namespace

BindingResult ReadJson(const char* text) noexcept {
    BindingResult result;
    if (text == nullptr || IsBlank(text)) {
        return result;
    }
    TextStream stream(text);
    TreeBuilder builder(result, stream);
    rapidjson::Reader reader;
    const rapidjson::ParseResult parsed =
        reader.Parse<rapidjson::kParseDefaultFlags>(stream, builder);
    if (parsed.IsError()) {
        if (builder.Failure() != nullptr) {
            result.SetFailure(builder.Failure());
        } else {
            SetParseFailure(result, parsed);
        }
    }
    return result;
}

BindingResult ReadJson(const std::string& text) noexcept {
    return ReadJson(text.c_str());
}

}  // namespace Velto
