# Fails unless the shared library's dynamic symbol table defines exactly one symbol,
# load_mek_active_boosts. Run with -DNM=<nm> -DLIBRARY=<path>.
execute_process(
    COMMAND ${NM} -D --defined-only --format=posix ${LIBRARY}
    OUTPUT_VARIABLE listing
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} could not read ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(exported)
foreach(line IN LISTS lines)
    string(REGEX MATCH "^[^ ]+" name "${line}")
    list(APPEND exported ${name})
endforeach()
if(NOT exported STREQUAL "load_mek_active_boosts")
    message(FATAL_ERROR "expected only load_mek_active_boosts to be exported, found: ${exported}")
endif()
message(STATUS "exports: ${exported}")
