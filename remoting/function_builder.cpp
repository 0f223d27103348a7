#include "remoting/function_builder.h"

#include "remoting/function_descriptor.h"

namespace Velto {

FunctionBuilder& FunctionBuilder::Route(std::string_view path) {
    if (binding_ == nullptr) {
        return *this;
    }
    if (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    binding_->route = path;
    return *this;
}

FunctionBuilder& FunctionBuilder::Method(HttpMethod method) {
    if (binding_ != nullptr) {
        binding_->method = method;
        binding_->customMethod.clear();
    }
    return *this;
}

FunctionBuilder& FunctionBuilder::CustomMethod(std::string_view name) {
    if (binding_ != nullptr) {
        binding_->method = HttpMethod::Custom;
        binding_->customMethod = name;
    }
    return *this;
}

FunctionBuilder& FunctionBuilder::Tags(const std::vector<std::string>& tags) {
    if (binding_ != nullptr) {
        std::vector<std::string>& functionTags = binding_->function->tags;
        functionTags.insert(functionTags.end(), tags.begin(), tags.end());
    }
    return *this;
}

FunctionBuilder& FunctionBuilder::Location(std::string_view name, ArgumentLocation location) {
    if (binding_ == nullptr) {
        return *this;
    }
    const std::vector<ArgumentDescriptor>& arguments = binding_->function->arguments;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        if (arguments[index].name == name) {
            binding_->argumentLocations[index] = location;
            return *this;
        }
    }
    binding_ = nullptr;
    return *this;
}

}  // namespace Velto
