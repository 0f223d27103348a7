# Fails unless the shared library exports exactly one symbol, load_mek_active_boosts: the defined
# dynamic symbols of an ELF library (read with nm), or the export table of a DLL (objdump).
# Run with -DNM=<nm> -DOBJDUMP=<objdump> -DLIBRARY=<path>.
if(LIBRARY MATCHES "\\.dll$")
    execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
    # The export table's name list: lines "\t[   0] name" after "[Ordinal/Name Pointer] Table".
    string(REGEX REPLACE ".*\\[Ordinal/Name Pointer\\] Table\n" "" listing "${listing}")
    string(REGEX MATCHALL "\t\\[ *[0-9]+\\] [^\n]+" lines "${listing}")
    set(pattern "\\] ([^ \n]+)$")
else()
    execute_process(COMMAND ${NM} -D --defined-only --format=posix ${LIBRARY}
        OUTPUT_VARIABLE listing RESULT_VARIABLE status)
    string(REGEX MATCHALL "[^\n]+" lines "${listing}")
    set(pattern "^([^ ]+)")
endif()
if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not read the exports of ${LIBRARY}")
endif()
set(exported)
foreach(line IN LISTS lines)
    string(REGEX MATCH "${pattern}" match "${line}")
    list(APPEND exported ${CMAKE_MATCH_1})
endforeach()
if(NOT exported STREQUAL "load_mek_active_boosts")
    message(FATAL_ERROR "expected only load_mek_active_boosts to be exported, found: ${exported}")
endif()
message(STATUS "exports: ${exported}")
