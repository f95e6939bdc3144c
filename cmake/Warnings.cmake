# One warning set for every target of the project; CI turns it into errors.
option(KBSTUDIO_WERROR "Treat compiler warnings as errors" OFF)

function(kb_set_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4)
        if(KBSTUDIO_WERROR)
            target_compile_options(${target} PRIVATE /WX)
        endif()
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                                 -Wno-sign-conversion -Wnon-virtual-dtor
                                                 -Wold-style-cast -Woverloaded-virtual)
        if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
            # GCC 12's libstdc++ string code trips false -Wrestrict reports when optimised.
            target_compile_options(${target} PRIVATE -Wno-restrict)
        endif()
        if(KBSTUDIO_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
endfunction()
