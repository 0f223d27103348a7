// The full YAML reader: a stack of the nodes being filled and the path to each of them, so that
// anchors can name any value and aliases copy it, and a repeated key replaces its earlier value
// in place. ReadYaml gives it what the tree assembler cannot read.
#pragma once

#include <string>

#include "binding/binding_result.h"

namespace Velto {

// Reads `text` as ReadYaml documents it, node by node.
BindingResult ReadYamlNodeByNode(const std::string& text);

}  // namespace Velto
