# Fails unless LIBRARY is the deliverable as it is shipped to Windows machines:
# - a 32-bit Windows DLL (PE32 for i386);
# - exporting load_mek_active_boosts alone, undecorated (check_exports.cmake);
# - importing only DLLs that every Windows installation has (kSystemDlls below);
# - without debug information, which lies in DEBUG_FILE beside it, named by its debug link.
# Run with -DOBJDUMP=<objdump> -DLIBRARY=<path> -DDEBUG_FILE=<path>.
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

if(headers MATCHES "\n +[0-9]+ \\.debug_")
    message(FATAL_ERROR "${LIBRARY} still carries debug information")
endif()
expect("${headers}" "\n +[0-9]+ \\.gnu_debuglink " "linked to a debug file")
get_filename_component(debug_name ${DEBUG_FILE} NAME)
string(REPLACE "." "\\." debug_name_pattern "${debug_name}")
file(STRINGS ${LIBRARY} link REGEX "^${debug_name_pattern}$")
if(NOT link)
    message(FATAL_ERROR "the debug link of ${LIBRARY} does not name ${debug_name}")
endif()
read_headers(${DEBUG_FILE} debug_listing)
if(NOT debug_listing MATCHES "\n +[0-9]+ \\.debug_info ")
    message(FATAL_ERROR "${DEBUG_FILE} holds no debug information")
endif()
file(SIZE ${LIBRARY} library_size)
file(SIZE ${DEBUG_FILE} debug_size)
message(STATUS "sizes: ${library_size} bytes, debug file ${debug_size} bytes")
