# GoogleTest built from its sources (Debian's googletest package), for a cross build that
# has no GoogleTest libraries for its target. Built without the project's warning flags,
# which the GoogleTest sources were not written for.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${TARVEDDE_GTEST_SOURCES} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(lib gtest gtest_main gmock gmock_main)
    set_property(TARGET ${lib} PROPERTY COMPILE_OPTIONS "")
    if(NOT TARGET GTest::${lib})
        add_library(GTest::${lib} ALIAS ${lib})
    endif()
endforeach()
