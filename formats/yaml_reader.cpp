#include "formats/yaml_reader.h"

#include "formats/yaml_assembly.h"
#include "formats/yaml_node_reader.h"

namespace Velto {

// Most texts are assembled whole; the full reader reads the others from the start.
BindingResult ReadYaml(const std::string& text) {
    BindingResult result;
    if (!AssembleYaml(text, result)) {
        result = ReadYamlNodeByNode(text);
    }
    return result;
}

}  // namespace Velto
