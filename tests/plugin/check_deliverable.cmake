# Fails unless LIBRARY is the deliverable as it is shipped to Windows machines:
# - a 32-bit Windows DLL (PE32 for i386);
# - exporting load_mek_active_boosts alone, undecorated (check_exports.cmake);
# - importing only DLLs that every Windows installation has (kSystemDlls below).
# Run with -DOBJDUMP=<objdump> -DLIBRARY=<path>.
cmake_minimum_required(VERSION 3.25)

# The kernel's functions, and the C runtime that Windows itself carries (not a redistributable).
set(kSystemDlls kernel32.dll msvcrt.dll)

function(read_headers file result)
    execute_process(COMMAND ${OBJDUMP} -p -h ${file} OUTPUT_VARIABLE headers RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "could not read the headers of ${file}")
    endif()
    set(${result} "${headers}" PARENT_SCOPE)
endfunction()

function(expect headers pattern what)
    if(NOT headers MATCHES "${pattern}")
        message(FATAL_ERROR "${LIBRARY} is not ${what}")
    endif()
endfunction()

read_headers(${LIBRARY} headers)
expect("${headers}" "file format pei-i386\n" "an i386 PE file")
expect("${headers}" "\nMagic\t+010b\t\\(PE32\\)\n" "a PE32 image")
expect("${headers}" "\nCharacteristics [^\n]+\n(\t[^\n]+\n)*\tDLL\n" "a DLL")

include(${CMAKE_CURRENT_LIST_DIR}/check_exports.cmake)

string(REGEX MATCHALL "\tDLL Name: [^\n]+" import_lines "${headers}")
set(imports)
foreach(line IN LISTS import_lines)
    string(REGEX REPLACE "^\tDLL Name: " "" dll "${line}")
    list(APPEND imports ${dll})
    string(TOLOWER "${dll}" system_name)
    if(NOT system_name IN_LIST kSystemDlls)
        message(FATAL_ERROR "${LIBRARY} imports ${dll}, which is not among ${kSystemDlls}")
    endif()
endforeach()
message(STATUS "imports: ${imports}")

