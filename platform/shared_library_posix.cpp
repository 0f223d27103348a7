#include <dlfcn.h>

#include "platform/shared_library.h"

namespace Velto::Platform::NativeLibrary {

void* Open(const std::string& path, std::string* error) {
    // RTLD_LOCAL keeps the library's symbols out of the process's global namespace.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr && error != nullptr) {
        const char* reason = dlerror();
        *error = reason != nullptr ? reason : "unknown error";
    }
    return handle;
}

void* Symbol(void* handle, const char* name) {
    return dlsym(handle, name);
}

void Close(void* handle) {
    dlclose(handle);
}

void* ProcessSymbol(const char* name) {
    return dlsym(RTLD_DEFAULT, name);
}

}  // namespace Velto::Platform::NativeLibrary
