// Reads the YAML that requests carry, mappings, sequences and scalars in one document, on the
// tree assembler: each container gets its block once, and records that repeat the keys of the
// one before cost no lookups.
//
// It gives up on whatever needs the full reader's judgement: anchors and aliases, a repeated
// key, a second document, nesting near the limit, and every fault. The full reader then reads
// the text from the start; anchors and faults are rare in requests, so that seldom costs a
// second parse.
#pragma once

#include <string>

#include "binding/binding_result.h"

namespace Velto {

// Reads `text` into `result` as ReadYaml would; false, with `result` holding a partial tree,
// when it gave up.
bool AssembleYaml(const std::string& text, BindingResult& result);

}  // namespace Velto
