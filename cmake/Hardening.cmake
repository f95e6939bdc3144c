# Debian's hardening for optimised builds, the same flags the distribution's own packages get from
# dpkg-buildflags: fortified C library calls, stack protector, read-only relocations resolved at start
# (relro, bind-now) and position-independent programs. The root daemon parses what users send it.
# Debug builds (fortify needs optimisation), sanitizer and fuzz builds and Windows cross-builds keep
# their own flags.
option(KBSTUDIO_HARDENING "Build optimised Linux builds with the flags dpkg-buildflags gives" ON)

set(KB_HARDENED_CONFIGS Release RelWithDebInfo MinSizeRel)
if(KBSTUDIO_HARDENING AND NOT WIN32 AND NOT KBSTUDIO_SANITIZE AND NOT KBSTUDIO_FUZZ
   AND CMAKE_BUILD_TYPE IN_LIST KB_HARDENED_CONFIGS)
    find_program(KB_DPKG_BUILDFLAGS dpkg-buildflags)
    if(NOT KB_DPKG_BUILDFLAGS)
        message(FATAL_ERROR "dpkg-buildflags (package dpkg-dev) is needed for a hardened build; "
                            "configure with -DKBSTUDIO_HARDENING=OFF to build without it")
    endif()
    # bind-now is not in the default set; "+all" asks for every hardening feature the release has.
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        execute_process(
            COMMAND "${CMAKE_COMMAND}" -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                    "${KB_DPKG_BUILDFLAGS}" --get ${kind}
            OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
        separate_arguments(flags UNIX_COMMAND "${flags}")
        # Optimisation and debug information stay the build type's; path maps would differ per folder and
        # defeat a shared compiler cache.
        list(FILTER flags EXCLUDE REGEX "^-(O[0-9sgz]?|g[0-9]*|ffile-prefix-map=.*|fdebug-prefix-map=.*)$")
        set(KB_HARDENING_${kind} ${flags})
    endforeach()
    add_compile_options(${KB_HARDENING_CPPFLAGS} ${KB_HARDENING_CXXFLAGS})
    add_link_options(${KB_HARDENING_LDFLAGS})
    # Programs as position-independent executables (the default of Debian's compiler, said explicitly).
    include(CheckPIESupported)
    check_pie_supported()
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    message(STATUS "Hardening: ${KB_HARDENING_CPPFLAGS} ${KB_HARDENING_CXXFLAGS} ${KB_HARDENING_LDFLAGS}")
endif()
