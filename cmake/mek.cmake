# Helpers shared by every folder's CMakeLists: one static library per subsystem, tests labelled by
# the subsystem they test, fuzz targets and benchmarks.
include_guard(GLOBAL)

if(WIN32)
    set(MEK_PLATFORM_SUFFIX win)
else()
    set(MEK_PLATFORM_SUFFIX posix)
endif()

# Compile options every target of ours carries.
function(mek_target_defaults target)
    target_compile_features(${target} PUBLIC cxx_std_20)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    set_target_properties(${target} PROPERTIES
        CXX_EXTENSIONS OFF
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON
        POSITION_INDEPENDENT_CODE ON)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra)
        if(MEK_WARNINGS_AS_ERRORS)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
endfunction()

# mek_add_subsystem(<folder> SOURCES a.cpp ... [PLATFORM_SOURCES name ...] [DEPENDS lib ...])
# Builds velto_<folder>. Each PLATFORM_SOURCES name stands for name_win.cpp or name_posix.cpp.
function(mek_add_subsystem folder)
    cmake_parse_arguments(ARG "" "" "SOURCES;PLATFORM_SOURCES;DEPENDS" ${ARGN})
    set(sources ${ARG_SOURCES})
    foreach(name IN LISTS ARG_PLATFORM_SOURCES)
        list(APPEND sources ${name}_${MEK_PLATFORM_SUFFIX}.cpp)
    endforeach()
    add_library(velto_${folder} STATIC ${sources})
    mek_target_defaults(velto_${folder})
    target_link_libraries(velto_${folder} PUBLIC ${ARG_DEPENDS})
endfunction()

# mek_add_test(<name> LABEL <subsystem> SOURCES ... [LIBS ...])
# Cross-built Windows test programs get MEK_GTEST_ARGUMENTS (for example a --gtest_filter that
# leaves out what wine does differently from Windows).
function(mek_add_test name)
    if(NOT MEK_BUILD_TESTS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    mek_target_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
    if(WIN32 AND CMAKE_CROSSCOMPILING)
        # Each start of a program under wine costs seconds: one CTest test per test program.
        add_test(NAME ${name} COMMAND ${name} ${MEK_GTEST_ARGUMENTS})
        set_tests_properties(${name} PROPERTIES LABELS ${ARG_LABEL})
    else()
        gtest_discover_tests(${name}
            DISCOVERY_MODE PRE_TEST
            PROPERTIES LABELS ${ARG_LABEL})
    endif()
endfunction()

# mek_add_fuzzer(<name> LABEL <subsystem> SOURCES ... [LIBS ...] [CORPUS dir])
# Each fuzzer also becomes a short smoke test in CTest, labelled with its subsystem and "fuzz".
function(mek_add_fuzzer name)
    if(NOT MEK_BUILD_FUZZERS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "LABEL;CORPUS" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    mek_target_defaults(${name})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    set(corpus_args)
    if(ARG_CORPUS)
        # Work on a copy so smoke runs never add files to the repository's seed corpus.
        set(work_corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
        set(corpus_args ${work_corpus} ${ARG_CORPUS})
        file(MAKE_DIRECTORY ${work_corpus})
    endif()
    add_test(NAME ${name}.smoke
        COMMAND ${name} -max_total_time=${MEK_FUZZ_SMOKE_SECONDS} -print_final_stats=1 ${corpus_args})
    set_tests_properties(${name}.smoke PROPERTIES LABELS "${ARG_LABEL};fuzz")
endfunction()

# mek_add_benchmark(<name> LABEL <subsystem> SOURCES ... [LIBS ...])
# A benchmark also becomes a quick CTest run (tiny minimum time) so it cannot rot unnoticed.
function(mek_add_benchmark name)
    if(NOT MEK_BUILD_BENCHMARKS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    mek_target_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} mek_bench_main)
    add_test(NAME ${name}.quick COMMAND ${name} --benchmark_min_time=0.001)
    set_tests_properties(${name}.quick PROPERTIES LABELS "${ARG_LABEL};bench"
        PASS_REGULAR_EXPRESSION "ratio ")
endfunction()

# mek_uses_std_regex(<source>...)
# GCC 12 with the sanitizers sees a "maybe uninitialized" std::function inside libstdc++'s
# <regex>: a false alarm in library code, silenced for the sources that compare against it.
function(mek_uses_std_regex)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS -Wno-maybe-uninitialized)
    endif()
endfunction()
