// Fuzzes the YAML reader: any text must give a value or a failure with a message, never a crash,
// a hang or unbounded memory (deep nesting and expanding aliases included).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "formats/yaml_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Velto::BindingResult result = Velto::ReadYaml(text);
    if (!result.succeeded && result.FailureMessage().empty()) {
        std::abort();
    }
    return 0;
}
