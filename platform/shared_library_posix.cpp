#include "platform/shared_library.h"

#include <dlfcn.h>

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
    // RTLD_LOCAL keeps the library's symbols out of the process's global namespace.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr && error != nullptr) {
        const char* reason = dlerror();
        *error = reason != nullptr ? reason : "unknown error";
    }
    return SharedLibrary(handle);
}

void* SharedLibrary::Symbol(const char* name) const {
    return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

void SharedLibrary::Close() {
    if (handle_ != nullptr) {
        dlclose(std::exchange(handle_, nullptr));
    }
}

}  // namespace Velto::Platform
