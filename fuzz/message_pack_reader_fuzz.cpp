// Fuzzes the MessagePack decoder: any bytes must give a value or a failure with a message, never
// a crash, a read past the input or unbounded memory, and `consumed` stays within the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "formats/message_pack_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact copy, so that AddressSanitizer sees any read past the end.
    const std::unique_ptr<std::uint8_t[]> input(new std::uint8_t[size]);
    std::copy(data, data + size, input.get());
    std::size_t consumed = size + 1;
    const Velto::BindingResult result = Velto::ReadMessagePack(input.get(), size, consumed);
    if (consumed > size || (!result.succeeded && result.FailureMessage().empty()) ||
        (size == 0 && !result.IsEmpty())) {
        std::abort();
    }
    return 0;
}
