# dravix_loads_library(<target>): <target> does not link libdravix but loads it with dlopen. The
# library is built first, and the executable's run path finds it in the build tree and, once
# installed, in the library directory (CMAKE_INSTALL_LIBDIR) beside bin/. The path is stored as
# DT_RPATH, not DT_RUNPATH: dlopen searches a DT_RUNPATH only of the object that calls it, and in
# sanitizer builds that caller is the sanitizer runtime intercepting dlopen, so the library would
# not be found there; the executable's DT_RPATH applies to every lookup.
function(dravix_loads_library target)
    add_dependencies(${target} dravix)
    target_link_options(${target} PRIVATE -Wl,--disable-new-dtags)
    set_target_properties(${target} PROPERTIES
        BUILD_RPATH "$<TARGET_FILE_DIR:dravix>"
        INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}"
    )
endfunction()
