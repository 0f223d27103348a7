# 64-bit Windows; programs run under wine64 (installed in wine's own library folder, not on PATH).
set(MEK_MINGW_TRIPLET x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/windows-mingw.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
