#include "platform/shared_library.h"

#include <utility>

namespace Velto::Platform {

SharedLibrary::~SharedLibrary() {
    Close();
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

SharedLibrary SharedLibrary::Open(const std::string& path, std::string* error) {
    return SharedLibrary(NativeLibrary::Open(path, error));
}

void* SharedLibrary::Symbol(const char* name) const {
    return handle_ != nullptr ? NativeLibrary::Symbol(handle_, name) : nullptr;
}

void* SharedLibrary::ProcessSymbol(const char* name) {
    return NativeLibrary::ProcessSymbol(name);
}

void SharedLibrary::Close() {
    if (handle_ != nullptr) {
        NativeLibrary::Close(std::exchange(handle_, nullptr));
    }
}

}  // namespace Velto::Platform
