# Windows cross-built with mingw-w64's POSIX-thread compilers (std::thread, std::mutex), for the
# target MEK_MINGW_TRIPLET (i686 or x86_64) that the including toolchain file sets.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MEK_MINGW_TRIPLET})
set(CMAKE_C_COMPILER ${MEK_MINGW_TRIPLET}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${MEK_MINGW_TRIPLET}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${MEK_MINGW_TRIPLET}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MEK_MINGW_TRIPLET}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Programs and test libraries carry their C and C++ runtimes, so they run without mingw's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
