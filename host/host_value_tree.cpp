#include "host/host_value_tree.h"

#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace Velto::TestHost {
namespace {

using namespace Client;

char* CopyText(const char* data, std::size_t length) {
    char* copy = new char[length + 1];
    if (length != 0) {
        std::memcpy(copy, data, length);
    }
    copy[length] = '\0';
    return copy;
}

void FreeNode(HostValue& value) noexcept {
    switch (value.type) {
        case kHostBorrowedText:
        case kHostOwnedText:
            delete[] value.payload.text.data;
            break;
        case kHostBorrowedBytes:
        case kHostOwnedBytes:
            delete[] value.payload.bytes.data;
            break;
        case kHostArray:
            for (uint32_t i = 0; i < value.payload.array.count; ++i) {
                FreeNode(value.payload.array.items[i]);
            }
            delete[] value.payload.array.items;
            break;
        case kHostObject:
            for (uint32_t i = 0; i < value.payload.object.count; ++i) {
                HostObjectEntry& entry = value.payload.object.entries[i];
                delete[] entry.key;
                FreeNode(entry.value);
            }
            delete[] value.payload.object.entries;
            break;
        default:
            break;
    }
    value = HostValue{};
}

HostValue TaggedEmpty(uint32_t type) {
    HostValue value{};
    value.type = type;
    return value;
}

HostValue CopyNode(const HostValue& source, std::size_t depth) {
    HostValue copy{};
    copy.type = source.type;
    switch (source.type) {
        case kHostNull:
            return copy;
        case kHostBool:
            copy.payload.boolean = source.payload.boolean;
            return copy;
        case kHostSigned:
        case kHostUnsigned:
        case kHostFloat:
            copy.payload.unsignedValue = source.payload.unsignedValue;
            return copy;
        case kHostBorrowedText:
        case kHostOwnedText: {
            const HostValue::Text text = source.payload.text;
            const uint32_t length = text.data != nullptr ? text.length : 0;
            copy.payload.text = {CopyText(text.data, length), length};
            return copy;
        }
        case kHostBorrowedBytes:
        case kHostOwnedBytes: {
            const HostValue::Bytes bytes = source.payload.bytes;
            const uint32_t size = bytes.data != nullptr ? bytes.size : 0;
            auto* data = reinterpret_cast<const uint8_t*>(
                CopyText(reinterpret_cast<const char*>(bytes.data), size));
            copy.payload.bytes = {data, size};
            return copy;
        }
        default:
            break;
    }
    if (depth >= kMaxHostValueDepth) {
        return TaggedEmpty(source.type);
    }
    if (source.type == kHostArray) {
        const HostValue::Array array = source.payload.array;
        const uint32_t count = array.items != nullptr ? array.count : 0;
        auto* items = new HostValue[count]{};
        for (uint32_t i = 0; i < count; ++i) {
            items[i] = CopyNode(array.items[i], depth + 1);
        }
        copy.payload.array = {items, count};
        return copy;
    }
    if (source.type == kHostObject) {
        const HostValue::Object object = source.payload.object;
        const uint32_t count = object.entries != nullptr ? object.count : 0;
        auto* entries = new HostObjectEntry[count]{};
        for (uint32_t i = 0; i < count; ++i) {
            const HostObjectEntry& entry = object.entries[i];
            const char* key = entry.key != nullptr ? entry.key : "";
            entries[i].key = CopyText(key, std::strlen(key));
            entries[i].value = CopyNode(entry.value, depth + 1);
            entries[i].ownsKey = entry.ownsKey;
        }
        copy.payload.object = {entries, count};
        return copy;
    }
    return TaggedEmpty(source.type);
}

std::string Base64(const uint8_t* data, uint32_t size) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((size + 2) / 3 * 4);
    for (uint32_t i = 0; i < size; i += 3) {
        const uint32_t left = size - i;
        uint32_t group = uint32_t{data[i]} << 16;
        group |= left > 1 ? uint32_t{data[i + 1]} << 8 : 0;
        group |= left > 2 ? uint32_t{data[i + 2]} : 0;
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += left > 1 ? kAlphabet[(group >> 6) & 63] : '=';
        text += left > 2 ? kAlphabet[group & 63] : '=';
    }
    return text;
}

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

void WriteFloat(JsonWriter& writer, double value) {
    if (std::isfinite(value)) {
        writer.Double(value);
    } else if (std::isnan(value)) {
        writer.String("NaN");
    } else {
        writer.String(value > 0 ? "Infinity" : "-Infinity");
    }
}

void WriteNode(JsonWriter& writer, const HostValue& value) {
    switch (value.type) {
        case kHostNull:
            writer.Null();
            return;
        case kHostBool:
            writer.Bool(value.payload.boolean != 0);
            return;
        case kHostSigned:
            writer.Int64(value.payload.signedValue);
            return;
        case kHostUnsigned:
            writer.Uint64(value.payload.unsignedValue);
            return;
        case kHostFloat:
            WriteFloat(writer, value.payload.floatValue);
            return;
        case kHostBorrowedText:
        case kHostOwnedText:
            writer.String(value.payload.text.data, value.payload.text.length);
            return;
        case kHostBorrowedBytes:
        case kHostOwnedBytes:
            writer.String(Base64(value.payload.bytes.data, value.payload.bytes.size).c_str());
            return;
        case kHostArray:
            writer.StartArray();
            for (uint32_t i = 0; i < value.payload.array.count; ++i) {
                WriteNode(writer, value.payload.array.items[i]);
            }
            writer.EndArray();
            return;
        case kHostObject:
            writer.StartObject();
            for (uint32_t i = 0; i < value.payload.object.count; ++i) {
                const HostObjectEntry& entry = value.payload.object.entries[i];
                writer.Key(entry.key);
                WriteNode(writer, entry.value);
            }
            writer.EndObject();
            return;
        default:
            writer.String(("<HostValue type " + std::to_string(value.type) + ">").c_str());
            return;
    }
}

// Builds the tree straight from the reader's events; each open array or object is one frame.
class TreeBuilder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, TreeBuilder> {
  public:
    bool Null() { return Add(HostValueTree()); }
    bool Bool(bool value) { return Add(HostValueTree::Bool(value)); }
    bool Int(int value) { return Add(HostValueTree::Signed(value)); }
    bool Uint(unsigned value) { return Add(HostValueTree::Signed(value)); }
    bool Int64(int64_t value) { return Add(HostValueTree::Signed(value)); }
    bool Uint64(uint64_t value) {
        if (value <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
            return Add(HostValueTree::Signed(static_cast<int64_t>(value)));
        }
        return Add(HostValueTree::Unsigned(value));
    }
    bool Double(double value) { return Add(HostValueTree::Float(value)); }
    bool String(const char* text, rapidjson::SizeType length, bool) {
        return Add(HostValueTree::Text(std::string_view(text, length)));
    }
    bool Key(const char* text, rapidjson::SizeType length, bool) {
        frames_.back().keys.emplace_back(text, length);
        return true;
    }
    bool StartObject() { return Open(); }
    bool EndObject(rapidjson::SizeType) {
        Frame frame = Close();
        std::vector<std::pair<std::string, HostValueTree>> members;
        members.reserve(frame.items.size());
        for (std::size_t i = 0; i < frame.items.size(); ++i) {
            members.emplace_back(std::move(frame.keys[i]), std::move(frame.items[i]));
        }
        return Add(HostValueTree::Object(std::move(members)));
    }
    bool StartArray() { return Open(); }
    bool EndArray(rapidjson::SizeType) { return Add(HostValueTree::Array(Close().items)); }

    bool TooDeep() const { return tooDeep_; }
    HostValueTree TakeResult() { return std::move(result_); }

  private:
    struct Frame {
        std::vector<HostValueTree> items;
        std::vector<std::string> keys;
    };

    bool Add(HostValueTree value) {
        if (frames_.empty()) {
            result_ = std::move(value);
        } else {
            frames_.back().items.push_back(std::move(value));
        }
        return true;
    }
    bool Open() {
        if (frames_.size() >= kMaxHostValueDepth) {
            tooDeep_ = true;
            return false;
        }
        frames_.emplace_back();
        return true;
    }
    Frame Close() {
        Frame frame = std::move(frames_.back());
        frames_.pop_back();
        return frame;
    }

    std::vector<Frame> frames_;
    HostValueTree result_;
    bool tooDeep_ = false;
};

}  // namespace

HostValueTree::HostValueTree() noexcept : root_{} {}

HostValueTree::~HostValueTree() {
    FreeNode(root_);
}

HostValueTree::HostValueTree(const HostValueTree& other) : root_(CopyNode(other.root_, 0)) {}

HostValueTree& HostValueTree::operator=(const HostValueTree& other) {
    if (this != &other) {
        HostValue copy = CopyNode(other.root_, 0);
        FreeNode(root_);
        root_ = copy;
    }
    return *this;
}

HostValueTree::HostValueTree(HostValueTree&& other) noexcept : root_(other.root_) {
    other.root_ = HostValue{};
}

HostValueTree& HostValueTree::operator=(HostValueTree&& other) noexcept {
    if (this != &other) {
        FreeNode(root_);
        root_ = other.root_;
        other.root_ = HostValue{};
    }
    return *this;
}

HostValueTree HostValueTree::Bool(bool value) {
    HostValue root = TaggedEmpty(kHostBool);
    root.payload.boolean = value ? 1 : 0;
    return HostValueTree(root);
}

HostValueTree HostValueTree::Signed(int64_t value) {
    HostValue root = TaggedEmpty(kHostSigned);
    root.payload.signedValue = value;
    return HostValueTree(root);
}

HostValueTree HostValueTree::Unsigned(uint64_t value) {
    HostValue root = TaggedEmpty(kHostUnsigned);
    root.payload.unsignedValue = value;
    return HostValueTree(root);
}

HostValueTree HostValueTree::Float(double value) {
    HostValue root = TaggedEmpty(kHostFloat);
    root.payload.floatValue = value;
    return HostValueTree(root);
}

HostValueTree HostValueTree::Text(std::string_view text, bool borrowed) {
    HostValue root = TaggedEmpty(borrowed ? kHostBorrowedText : kHostOwnedText);
    root.payload.text = {CopyText(text.data(), text.size()), static_cast<uint32_t>(text.size())};
    return HostValueTree(root);
}

HostValueTree HostValueTree::Bytes(std::string_view bytes, bool borrowed) {
    HostValue root = TaggedEmpty(borrowed ? kHostBorrowedBytes : kHostOwnedBytes);
    auto* data = reinterpret_cast<const uint8_t*>(CopyText(bytes.data(), bytes.size()));
    root.payload.bytes = {data, static_cast<uint32_t>(bytes.size())};
    return HostValueTree(root);
}

HostValueTree HostValueTree::Array(std::vector<HostValueTree> items) {
    HostValue root = TaggedEmpty(kHostArray);
    auto* run = new HostValue[items.size()]{};
    for (std::size_t i = 0; i < items.size(); ++i) {
        run[i] = std::exchange(items[i].root_, HostValue{});
    }
    root.payload.array = {run, static_cast<uint32_t>(items.size())};
    return HostValueTree(root);
}

HostValueTree HostValueTree::Object(std::vector<std::pair<std::string, HostValueTree>> members) {
    HostValue root = TaggedEmpty(kHostObject);
    auto* entries = new HostObjectEntry[members.size()]{};
    for (std::size_t i = 0; i < members.size(); ++i) {
        entries[i].key = CopyText(members[i].first.data(), members[i].first.size());
        entries[i].value = std::exchange(members[i].second.root_, HostValue{});
        entries[i].ownsKey = 1;
    }
    root.payload.object = {entries, static_cast<uint32_t>(members.size())};
    return HostValueTree(root);
}

HostValueTree HostValueTree::CopyOf(const HostValue& value) {
    return HostValueTree(CopyNode(value, 0));
}

std::optional<HostValueTree> HostValueTree::FromJson(std::string_view json, std::string* error) {
    TreeBuilder builder;
    rapidjson::Reader reader;
    rapidjson::MemoryStream stream(json.data(), json.size());
    // Not the full-precision flag: RapidJSON 1.1's full-precision path normalises a zero
    // mantissa with clz(0) (for texts such as "0e81"), which is undefined.
    constexpr unsigned kFlags = rapidjson::kParseIterativeFlag;
    const rapidjson::ParseResult result = reader.Parse<kFlags>(stream, builder);
    if (!result.IsError()) {
        return builder.TakeResult();
    }
    if (error != nullptr) {
        const std::string reason =
            builder.TooDeep()
                ? "nested deeper than " + std::to_string(kMaxHostValueDepth) + " levels"
                : rapidjson::GetParseError_En(result.Code());
        *error = "invalid JSON at offset " + std::to_string(result.Offset()) + ": " + reason;
    }
    return std::nullopt;
}

std::string HostValueTree::ToJson() const {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    WriteNode(writer, root_);
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace Velto::TestHost
