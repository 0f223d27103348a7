// Fuzzes the YAML reader: any text must give a value or a failure with a message, never a crash,
// a hang or unbounded memory (deep nesting and expanding aliases included). Whatever the tree
// assembler reads, the full reader must read to the same tree.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/yaml_assembly.h"
#include "formats/yaml_node_reader.h"
#include "fuzz/fuzz_check.h"
#include "tests/binding/same_tree.h"

namespace {

using Fuzz::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Velto::BindingResult full = Velto::ReadYamlNodeByNode(text);
    Check(full.succeeded || !full.FailureMessage().empty());
    Velto::BindingResult assembled;
    if (Velto::AssembleYaml(text, assembled)) {
        Check(full.succeeded && TreeTesting::SameTree(assembled, full));
    }
    return 0;
}
