// Fuzzes the MessagePack decoder: any bytes must give a value or a failure with a message, never
// a crash, a read past the input or unbounded memory, and `consumed` stays within the input.
// Whatever decodes also feeds the JSON writer, which must write valid JSON for any tree: the text
// reads back, and after one pass (which cuts strings at NUL) writing is a fixed point.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "formats/json_reader.h"
#include "formats/json_writer.h"
#include "formats/message_pack_reader.h"
#include "fuzz/fuzz_check.h"

namespace {

using Fuzz::Check;

std::string Rewritten(const std::string& text, const char* newline) {
    const Velto::BindingResult read = Velto::ReadJson(text);
    Check(read.succeeded);
    return Velto::WriteJson(read, nullptr, newline);
}

void CheckJsonOf(const Velto::BindingProperty& tree, const char* newline) {
    const std::string once = Rewritten(Velto::WriteJson(tree, nullptr, newline), newline);
    Check(Rewritten(once, newline) == once);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact copy, so that AddressSanitizer sees any read past the end.
    const std::unique_ptr<std::uint8_t[]> input(new std::uint8_t[size]);
    std::copy(data, data + size, input.get());
    std::size_t consumed = size + 1;
    const Velto::BindingResult result = Velto::ReadMessagePack(input.get(), size, consumed);
    Check(consumed <= size);
    Check(result.succeeded || !result.FailureMessage().empty());
    Check(size != 0 || result.IsEmpty());
    if (result.succeeded) {
        CheckJsonOf(result, nullptr);
        CheckJsonOf(result, "\n");
    }
    return 0;
}
