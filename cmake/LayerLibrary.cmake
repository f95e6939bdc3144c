# A layer library: its sources are src/*.cpp of the calling folder, its public headers include/. AUTOMOC
# turns on Qt's meta-object compiler for layers with Q_OBJECT classes.
# Platform files end in _linux.cpp / _win32.cpp and are built on their platform only. A layer without
# sources for this platform stops the configuration: everything above it would otherwise lose it silently.
function(kb_add_layer_library name)
    cmake_parse_arguments(ARG "AUTOMOC" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/src/*.cpp")
    if(WIN32)
        list(FILTER sources EXCLUDE REGEX "_linux\\.cpp$")
    else()
        list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
    endif()
    if(NOT sources)
        message(FATAL_ERROR "Layer ${name}: no sources in ${CMAKE_CURRENT_SOURCE_DIR}/src for this platform.")
    endif()
    # The public headers are listed too, so that AUTOMOC finds the Q_OBJECT classes declared there.
    file(GLOB_RECURSE headers CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/include/*.h")
    add_library(${name} STATIC ${sources} ${headers})
    target_include_directories(${name} PUBLIC include PRIVATE src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    if(ARG_AUTOMOC)
        set_target_properties(${name} PROPERTIES AUTOMOC ON)
    endif()
    kb_set_warnings(${name})
endfunction()
