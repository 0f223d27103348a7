#include "remoting/function_descriptor.h"

namespace Velto {

namespace {

void DeleteFunctionDescriptor(FunctionDescriptor* descriptor) noexcept {
    delete descriptor;
}

}  // namespace

FunctionDescriptorHandle MakeFunctionDescriptor(FunctionDescriptor descriptor) {
    return FunctionDescriptorHandle(new FunctionDescriptor(std::move(descriptor)),
                                    &DeleteFunctionDescriptor);
}

}  // namespace Velto
