# Helpers shared by every subsystem's CMakeLists.txt.
include(GoogleTest)

if(KORVA_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(KORVA_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT KORVA_SANITIZE STREQUAL "")
    message(FATAL_ERROR "KORVA_SANITIZE must be empty, 'address' or 'thread'")
endif()
# Code that only runs tests (the test sources; everything in a sanitizer build): -O1 keeps
# stacks whole and line tables are all a failure prints, at half the compile time of -O2 -g.
set(korva_test_only_flags "$<$<CONFIG:RelWithDebInfo>:-O1;-g1>")
if(KORVA_SANITIZE)
    add_compile_options("${korva_test_only_flags}")
endif()

# Warnings as errors for the project's own code only (never for third-party headers).
function(korva_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                             -Wcast-align -Wformat=2 -Werror)
    # GCC 12's flow analysis reports standard-library false positives under the sanitizers.
    if(KORVA_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
    endif()
endfunction()

# Test code is never shipped and runs as fast as the programs it drives.
function(korva_test_code target)
    target_compile_options(${target} PRIVATE "${korva_test_only_flags}")
endfunction()

# korva_library(NAME SOURCES a.cpp b.cpp DEPS other_lib ...)
# One static library per subsystem; together they form the Qt-free core (korva_core).
function(korva_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} Threads::Threads)
    korva_warnings(${name})
endfunction()

# korva_executable(NAME SOURCES ... DEPS ...): every program carries the embedded file version.
function(korva_executable name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES} $<TARGET_OBJECTS:korva_version>)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} Threads::Threads)
    korva_warnings(${name})
endfunction()

# Is this suite part of the current (sanitizer) build?
function(korva_suite_enabled suite out)
    if(KORVA_SANITIZE AND KORVA_SANITIZER_SUITES AND NOT suite IN_LIST KORVA_SANITIZER_SUITES)
        set(${out} FALSE PARENT_SCOPE)
    else()
        set(${out} TRUE PARENT_SCOPE)
    endif()
endfunction()

# korva_test(NAME SUITE base SOURCES ... DEPS ...): a GoogleTest binary whose cases CTest lists
# one by one, labelled with its suite so sanitizer builds can pick the suites that need them.
function(korva_test name)
    cmake_parse_arguments(ARG "" "SUITE;TIMEOUT" "SOURCES;DEPS" ${ARGN})
    korva_suite_enabled(${ARG_SUITE} enabled)
    if(NOT enabled)
        return()
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES} $<TARGET_OBJECTS:korva_version>)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} korva_testsupport GTest::gtest GTest::gtest_main
                                          GTest::gmock Threads::Threads)
    korva_warnings(${name})
    korva_test_code(${name})
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                         PROPERTIES LABELS ${ARG_SUITE} TIMEOUT ${ARG_TIMEOUT}
                         WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
