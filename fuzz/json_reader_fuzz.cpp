// Fuzzes the JSON reader: any bytes must read without crashing, and whatever reads must write,
// compact and indented, to text that reads back to the same tree.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/json_reader.h"
#include "formats/json_writer.h"
#include "fuzz/fuzz_check.h"
#include "tests/binding/same_tree.h"

namespace {

using Fuzz::Check;

void CheckRoundTrip(const Velto::BindingProperty& tree, const char* newline) {
    const std::string text = Velto::WriteJson(tree, nullptr, newline);
    const Velto::BindingResult again = Velto::ReadJson(text);
    Check(again.succeeded);
    Check(TreeTesting::SameTree(tree, again,
                                {.integers = TreeTesting::Integers::SignedZeroIsUnsigned}));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A heap copy of exactly the text plus its terminator, so reads past it are caught.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Velto::BindingResult read = Velto::ReadJson(text);
    if (!read.succeeded) {
        Check(!read.FailureMessage().empty());
        return 0;
    }
    CheckRoundTrip(read, nullptr);
    CheckRoundTrip(read, "\r\n");
    return 0;
}
