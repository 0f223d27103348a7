// Expands fuzzed line formats and messages, and lists fuzzed group masks, into buffers of exactly
// the given size on the heap, so that the sanitizer sees any byte written past the end.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "diagnostics/line_format.h"
#include "diagnostics/log_groups.h"
#include "fuzz/fuzz_check.h"

namespace {

using Fuzz::Check;

void ExpandInto(std::size_t size, const std::string& format, const Velto::LogRecord& record,
                const Velto::LineContext& context) {
    std::unique_ptr<char[]> buffer(new char[size == 0 ? 1 : size]);
    const std::size_t length = Velto::ExpandLineFormat(size == 0 ? nullptr : buffer.get(), size,
                                                       format.c_str(), record, context);
    if (size == 0) {
        Check(length == 0);
        return;
    }
    Check(length < size);
    Check(std::strlen(buffer.get()) == length);
    Check(size < 2 || (length > 0 && buffer[length - 1] == '\n'));
}

void ListInto(std::size_t size, const Velto::LogGroupTable& groups, uint64_t mask) {
    std::unique_ptr<char[]> buffer(new char[size == 0 ? 1 : size]);
    const std::size_t length = groups.ListText(size == 0 ? nullptr : buffer.get(), size, mask);
    if (size != 0) {
        Check(length < size);
        Check(std::strlen(buffer.get()) == length);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    Velto::LogGroupTable groups;
    const int registrations = input.ConsumeIntegralInRange(0, 70);
    for (int i = 0; i < registrations; ++i) {
        groups.Register(input.ConsumeBytesAsString(3).c_str());
    }
    const Velto::LogRecord record{
        {input.ConsumeIntegral<int32_t>(), input.ConsumeIntegral<int32_t>(), 1, 2, 3, 4, 5},
        input.ConsumeIntegral<int32_t>(),
        input.ConsumeIntegral<uint64_t>(),
        nullptr};
    const std::size_t chosenSize = input.ConsumeIntegralInRange<std::size_t>(0, 5000);
    const std::string executable = input.ConsumeRandomLengthString(300);
    const std::string format = input.ConsumeRandomLengthString(5000);
    const std::string message = input.ConsumeRemainingBytesAsString();

    Velto::LogRecord withMessage = record;
    withMessage.message = message.c_str();
    const Velto::LineContext context{executable.c_str(), groups};
    const std::size_t exact = format.size() + message.size() + 2;
    for (std::size_t lineSize : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{3},
                                 chosenSize, exact, Velto::kLogLineSize}) {
        ExpandInto(lineSize, format, withMessage, context);
    }
    ExpandInto(64, format, record, Velto::LineContext{nullptr, groups});

    for (std::size_t listSize :
         {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{5}, chosenSize % 300}) {
        ListInto(listSize, groups, record.groups);
    }
    return 0;
}
