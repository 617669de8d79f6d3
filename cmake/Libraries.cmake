# Each library exports a staging directory of its own that holds only its folder under
# the folder's repository path (a symbolic link), never the repository root. A library
# thus sees its own headers and those of the libraries it links: a lower library that
# includes a higher one's header fails to compile.
function(tarvedde_export_folder target)
    cmake_parse_arguments(ARG "" "" "" ${ARGN})
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    set(staging ${CMAKE_BINARY_DIR}/include/${target})
    get_filename_component(parent ${staging}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(NOT EXISTS ${staging}/${folder})
        file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${staging}/${folder} SYMBOLIC COPY_ON_ERROR)
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${staging})
    else()
        target_include_directories(${target} PUBLIC ${staging})
    endif()
endfunction()

# One library per source folder. A folder without sources yet becomes an interface
# library, so the layering can be declared before the code arrives.
function(tarvedde_folder_library name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(sources)
        add_library(${name} STATIC ${sources})
        target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    else()
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
    tarvedde_export_folder(${name})
endfunction()
