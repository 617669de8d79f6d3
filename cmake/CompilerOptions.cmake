# Warnings are errors everywhere; the sanitizer build adds ASan + UBSan to every target.
add_compile_options(
    -Wall -Wextra -Wpedantic -Werror
    -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast -Wnon-virtual-dtor
    -Woverloaded-virtual -Wnull-dereference -Wdouble-promotion -Wformat=2
    -Wimplicit-fallthrough -Wcast-qual -Wundef)

# GCC 12 at -O2/-O3 reports these inside inlined libstdc++ string and optional code that
# is correct (GCC bugs 105329, 105651); they stay visible but do not break the release.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    add_compile_options($<$<NOT:$<CONFIG:Debug>>:-Wno-error=restrict>
                        $<$<NOT:$<CONFIG:Debug>>:-Wno-error=null-dereference>
                        $<$<NOT:$<CONFIG:Debug>>:-Wno-error=maybe-uninitialized>)
endif()

if(TARVEDDE_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

if(TARVEDDE_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# Adds a GoogleTest binary made of the given sources and registers its tests with ctest.
function(tarvedde_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
    # Tests reach any header, also of a layer their library does not link.
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_definitions(${name} PRIVATE TARVEDDE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
    if(CMAKE_CROSSCOMPILING)
        # Every test process starts the emulator (wine: about half a second), so a binary
        # is one ctest test there; its output names the failing cases.
        add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
        set_tests_properties(${name} PROPERTIES TIMEOUT 900)
    else()
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
    endif()
endfunction()
