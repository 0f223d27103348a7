# 32-bit Windows, the deliverable's platform.
set(MEK_MINGW_TRIPLET i686)
include(${CMAKE_CURRENT_LIST_DIR}/windows-mingw.cmake)
