# Address and undefined-behaviour sanitizers for a whole build tree, and the libFuzzer instrumentation
# the fuzz targets need. Both are for separate build folders (see scripts/ci-sanitize.sh, fuzz/README.md).
option(KBSTUDIO_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(KBSTUDIO_FUZZ "Build the libFuzzer targets in fuzz/ (clang only; implies KBSTUDIO_SANITIZE)" OFF)

if(KBSTUDIO_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "KBSTUDIO_FUZZ needs clang (for example -DCMAKE_CXX_COMPILER=clang++-14)")
    endif()
    set(KBSTUDIO_SANITIZE ON CACHE BOOL "" FORCE)
    # Coverage for every library; the fuzz targets add libFuzzer's main themselves.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(KBSTUDIO_SANITIZE)
    if(MSVC)
        message(FATAL_ERROR "KBSTUDIO_SANITIZE is for GCC and clang builds")
    endif()
    # Undefined behaviour stops the program like a memory error does, so a test cannot pass over it.
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
