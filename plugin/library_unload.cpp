// The library carries a private copy of the C++ runtime, which keeps an emergency exception pool
// for the life of the process. Give it back when the host unloads the library, so that loading
// and unloading the plug-in repeatedly costs nothing.
namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace {

struct RuntimeRelease {
    ~RuntimeRelease() { __gnu_cxx::__freeres(); }
};

RuntimeRelease releaseAtUnload;

}  // namespace
