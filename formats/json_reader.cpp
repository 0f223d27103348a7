#include "formats/json_reader.h"

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "binding/tree_assembler.h"
#include "diagnostics/bounded_print.h"
#include "formats/decimal_number.h"
#include "formats/nesting_limit.h"
#include "formats/placing_builder.h"

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

// Whether any of the `length` bytes at `text` is NUL, a word at a time (overlapping words at the
// end rather than a byte loop).
bool HasNul(const char* text, std::size_t length) {
    constexpr uint64_t kOnes = 0x0101010101010101u;
    constexpr uint64_t kHighs = 0x8080808080808080u;
    const auto load = [text](std::size_t offset, auto word) {
        std::memcpy(&word, text + offset, sizeof word);
        return static_cast<uint64_t>(word);
    };
    if (length >= 8) {
        uint64_t zeros = 0;
        for (std::size_t offset = 0; offset + 8 < length; offset += 8) {
            const uint64_t word = load(offset, uint64_t{});
            zeros |= (word - kOnes) & ~word;
        }
        const uint64_t last = load(length - 8, uint64_t{});
        return (((last - kOnes) & ~last) | zeros) & kHighs;
    }
    if (length >= 4) {
        const uint64_t word = load(0, uint32_t{}) | (load(length - 4, uint32_t{}) << 32);
        return ((word - kOnes) & ~word & kHighs) != 0;
    }
    for (std::size_t offset = 0; offset < length; ++offset) {
        if (text[offset] == '\0') {
            return true;
        }
    }
    return false;
}

// Texts of the tree end at their first NUL, as they would in a C string.
std::string_view Terminated(const char* text, rapidjson::SizeType length) {
    if (!HasNul(text, length)) {
        return std::string_view(text, length);
    }
    return std::string_view(
        text,
        static_cast<std::size_t>(static_cast<const char*>(std::memchr(text, '\0', length)) - text));
}

// RapidJSON's English text for `code`. The text for a value after the root keeps the wording
// callers have always been given; newer RapidJSON releases reworded it.
const char* ParseErrorText(rapidjson::ParseErrorCode code) {
    if (code == rapidjson::kParseErrorDocumentRootNotSingular) {
        return "The document root must not follow by other values.";
    }
    return rapidjson::GetParseError_En(code);
}

// The double nearest to the number text at `begin`, or `value` (RapidJSON's) when the text does
// not convert. RapidJSON's default conversion can be a unit in the last place off, so a double
// written as its shortest text would not read back the same; its exact mode trips over zeros
// with exponents ("0e-300"). The parser has checked the text's grammar before the event.
double ExactDouble(double value, const char* begin) {
    double exact = 0.0;
    return NearestDouble(begin, ScanDecimal(begin), exact) ? exact : value;
}

// "Error: <RapidJSON's English text for code> at offset <offset>." into `message`.
template <std::size_t Size>
void FormatParseError(char (&message)[Size], rapidjson::ParseErrorCode code, std::size_t offset) {
    BoundedPrint(message, Size, "Error: %s at offset %u.", ParseErrorText(code),
                 static_cast<unsigned>(offset));
}

// Places every value where the events say, member by member: a key addresses its member at once,
// so a repeated key reaches the member the first one made and the last value wins (a container
// given again keeps what it holds and takes more). The interface is TreeAssembler's.
class DirectBuilder : public PlacesThroughNext<DirectBuilder> {
  public:
    explicit DirectBuilder(BindingProperty& root) noexcept : target_(&root) {}

    // The value of the next event: a new element when the innermost open container is a
    // collection, otherwise the value chosen before (the root, or the member of the last key).
    BindingProperty* Next() noexcept {
        if (depth_ == 0 || !open_[depth_ - 1].isCollection) {
            return target_;
        }
        OpenContainer& open = open_[depth_ - 1];
        BindingProperty& element = open.container->Append();
        // Append hands out a detached scratch value when the collection cannot grow; taking it
        // would drop the element silently.
        if (open.container->Size() != open.elements + 1) {
            return nullptr;
        }
        ++open.elements;
        return &element;
    }
    bool Key(std::string_view name) noexcept {
        target_ = &open_[depth_ - 1].container->Member(name);
        // A member that could not be made is a detached scratch root.
        return !target_->OwnsContext();
    }
    bool OpenCollection() noexcept {
        BindingProperty* target = Open(true);
        if (target != nullptr) {
            // A collection given again keeps its elements and takes more.
            target->MakeCollection();
            open_[depth_ - 1].elements = target->Size();
        }
        return target != nullptr;
    }
    bool OpenStructure() noexcept {
        BindingProperty* target = Open(false);
        if (target != nullptr) {
            target->MakeStructure();
        }
        return target != nullptr;
    }
    bool Close() noexcept {
        --depth_;
        return true;
    }
    std::size_t Depth() const noexcept { return static_cast<std::size_t>(depth_); }
    bool RepeatedKey() const noexcept { return false; }

  private:
    struct OpenContainer {
        BindingProperty* container;
        std::size_t elements;  // appended so far; only for collections
        bool isCollection;
    };

    BindingProperty* Open(bool isCollection) noexcept {
        BindingProperty* target = Next();
        if (target != nullptr) {
            open_[depth_++] = OpenContainer{target, 0, isCollection};
        }
        return target;
    }

    BindingProperty* target_;
    int depth_ = 0;
    std::array<OpenContainer, kMaxNestingDepth> open_;
};

// The parser's events: numbers, texts, nesting and failures. `Builder` (DirectBuilder or
// TreeAssembler) places the values.
template <class Builder>
class JsonEvents : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, JsonEvents<Builder>> {
  public:
    // `stream` is the one the parser reads, so a number event can find its text.
    JsonEvents(BindingProperty& root, const rapidjson::StringStream& stream) noexcept
        : builder_(root), stream_(stream) {}

    // Our own reason for stopping the parser, or null when the parser stopped by itself.
    const char* Failure() const noexcept { return failure_; }
    // Whether the builder stopped at a key given twice in one object.
    bool RepeatedKey() const noexcept { return builder_.RepeatedKey(); }

    bool Null() noexcept { return Target() != nullptr; }
    bool Bool(bool value) noexcept { return Store(value); }
    bool Int(int value) noexcept { return Store(static_cast<int64_t>(value)); }
    bool Uint(unsigned value) noexcept { return Store(static_cast<uint64_t>(value)); }
    bool Int64(int64_t value) noexcept { return Store(value); }
    bool Uint64(uint64_t value) noexcept { return Store(value); }
    bool Double(double value) noexcept {
        // The parser works on its own copy of the stream while it reads a token, so the stream
        // still stands where the number began.
        const char* begin = stream_.src_;
        const double exact = ExactDouble(value, begin);
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
        return Placed(builder_.StoreText(Terminated(text, length)));
    }

    bool StartObject() noexcept { return Open(true); }
    bool Key(const char* text, rapidjson::SizeType length, bool) noexcept {
        // A remembered key holds no NUL, so a key equal to it needs no cutting.
        if constexpr (std::is_same_v<Builder, TreeAssembler>) {
            if (builder_.RepeatKey(std::string_view(text, length))) {
                return true;
            }
        }
        return Placed(builder_.Key(Terminated(text, length)));
    }
    bool EndObject(rapidjson::SizeType) noexcept { return Placed(builder_.Close()); }
    bool StartArray() noexcept { return Open(false); }
    bool EndArray(rapidjson::SizeType) noexcept { return Placed(builder_.Close()); }

  private:
    template <class Scalar>
    bool Store(Scalar value) noexcept {
        return Placed(builder_.Store(value));
    }

    BindingProperty* Target() noexcept {
        BindingProperty* target = builder_.Next();
        Placed(target != nullptr);
        return target;
    }

    bool Open(bool isStructure) noexcept {
        if (builder_.Depth() == kMaxNestingDepth) {
            failure_ = kNestingTooDeepMessage;
            return false;
        }
        return Placed(isStructure ? builder_.OpenStructure() : builder_.OpenCollection());
    }

    // Passes `placed` on; a builder that failed for a reason other than a repeated key ran out
    // of memory.
    bool Placed(bool placed) noexcept {
        if (!placed && !builder_.RepeatedKey()) {
            BoundedPrint(message_, kMessageSize,
                         "Not enough memory for the JSON value at offset %u.",
                         static_cast<unsigned>(stream_.Tell()));
            failure_ = message_;
        }
        return placed;
    }

    Builder builder_;
    const rapidjson::StringStream& stream_;
    const char* failure_ = nullptr;
    char message_[kMessageSize];
};

void SetParseFailure(BindingResult& result, const rapidjson::ParseResult& parsed) {
    char message[kMessageSize];
    FormatParseError(message, parsed.Code(), parsed.Offset());
    result.SetFailure(message);
}

// Parses `text` into `result`, values placed by `Builder`. False, with `result` to be discarded,
// when the builder stopped at a repeated key.
template <class Builder>
bool Parse(const char* text, BindingResult& result) {
    rapidjson::StringStream stream(text);
    JsonEvents<Builder> events(result, stream);
    rapidjson::Reader reader;
    const rapidjson::ParseResult parsed =
        reader.Parse<rapidjson::kParseDefaultFlags>(stream, events);
    if (!parsed.IsError()) {
        return true;
    }
    if (events.RepeatedKey()) {
        return false;
    }
    if (events.Failure() != nullptr) {
        result.SetFailure(events.Failure());
    } else {
        SetParseFailure(result, parsed);
    }
    return true;
}

}  // namespace

BindingResult ReadJson(const char* text) noexcept {
    BindingResult result;
    if (text == nullptr || IsBlank(text)) {
        return result;
    }
    // Assembling containers whole is fast but cannot let a repeated key reach the member its
    // first occurrence made; the rare text that repeats a key is read again member by member.
    if (!Parse<TreeAssembler>(text, result)) {
        result.Reset();
        Parse<DirectBuilder>(text, result);
    }
    return result;
}

BindingResult ReadJson(const std::string& text) noexcept {
    return ReadJson(text.c_str());
}

}  // namespace Velto
