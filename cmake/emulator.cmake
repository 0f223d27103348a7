# A 32-bit build on a 64-bit kernel may or may not run its own programs: some kernels lack the
# 32-bit personality. Try one; when it cannot run, run every test through qemu-i386.
include_guard(GLOBAL)

if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT WIN32 AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(probe_source ${CMAKE_BINARY_DIR}/emulator_probe.c)
    file(WRITE ${probe_source} "int main(void) { return sizeof(void*) == 4 ? 0 : 1; }\n")
    try_run(probe_run_result probe_compiled ${CMAKE_BINARY_DIR}/emulator_probe ${probe_source})
    if(NOT probe_compiled)
        message(FATAL_ERROR "The 32-bit compiler cannot build programs; run tools/bootstrap")
    endif()
    if(NOT probe_run_result EQUAL 0)
        find_program(MEK_QEMU_I386 qemu-i386 REQUIRED)
        set(CMAKE_CROSSCOMPILING_EMULATOR "${MEK_QEMU_I386};-L;/" CACHE STRING
            "Runs 32-bit programs on a kernel that cannot" FORCE)
        message(STATUS "32-bit programs run through ${MEK_QEMU_I386}")
    else()
        message(STATUS "32-bit programs run natively")
    endif()
endif()
