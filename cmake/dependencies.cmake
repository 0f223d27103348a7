# The two libraries the system calls, as targets every flavour links the same way:
#   mek_rapidjson  RapidJSON's headers (rapidjson-dev)
#   mek_yaml       libyaml (libyaml-dev, and libyaml-dev:i386 for the 32-bit build)
# Windows builds cannot use Debian's headers directory as a whole (it holds the C library's own
# headers), so they see RapidJSON through a directory that links to it alone, and build libyaml
# from Debian's source package, which tools/bootstrap unpacks into MEK_LIBYAML_SOURCE_DIR.
include_guard(GLOBAL)

find_path(RAPIDJSON_INCLUDE_DIR rapidjson/document.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
    REQUIRED)
add_library(mek_rapidjson INTERFACE)
if(WIN32)
    set(rapidjson_view ${CMAKE_BINARY_DIR}/third_party/include)
    file(MAKE_DIRECTORY ${rapidjson_view})
    file(CREATE_LINK ${RAPIDJSON_INCLUDE_DIR}/rapidjson ${rapidjson_view}/rapidjson SYMBOLIC)
    target_include_directories(mek_rapidjson SYSTEM INTERFACE ${rapidjson_view})
endif()

if(WIN32)
    set(MEK_LIBYAML_SOURCE_DIR /usr/local/src/mek/libyaml CACHE PATH
        "libyaml's sources, from Debian's source package")
    if(NOT EXISTS ${MEK_LIBYAML_SOURCE_DIR}/CMakeLists.txt)
        message(FATAL_ERROR "libyaml's sources are missing in ${MEK_LIBYAML_SOURCE_DIR}; "
                            "run tools/bootstrap")
    endif()
    set(BUILD_SHARED_LIBS OFF CACHE BOOL "" FORCE)
    set(BUILD_TESTING OFF CACHE BOOL "" FORCE)
    add_subdirectory(${MEK_LIBYAML_SOURCE_DIR} ${CMAKE_BINARY_DIR}/third_party/libyaml
        EXCLUDE_FROM_ALL SYSTEM)
    set_target_properties(yaml PROPERTIES POSITION_INDEPENDENT_CODE ON)
    add_library(mek_yaml ALIAS yaml)
else()
    find_library(YAML_LIBRARY yaml REQUIRED)
    find_path(YAML_INCLUDE_DIR yaml.h REQUIRED)
    add_library(mek_yaml INTERFACE)
    target_include_directories(mek_yaml SYSTEM INTERFACE ${YAML_INCLUDE_DIR})
    target_link_libraries(mek_yaml INTERFACE ${YAML_LIBRARY})
endif()
