# shellcheck shell=bash
# Shared by the install and package checks; sourced. Expects the installation layout in
#   DRAVIX_LIBDIR, DRAVIX_INCLUDEDIR, DRAVIX_BINDIR, DRAVIX_UDEV_RULES_DIR (relative paths),
#   DRAVIX_VERSION (x.y.z) and DRAVIX_VIEWER (ON or OFF).

FAILURES=0

fail() {
    printf 'FAIL: %s\n' "$*" >&2
    FAILURES=$((FAILURES + 1))
}

# Files of each install component, relative to the prefix. Extend the list of a component when
# it installs something new; other components' files may come and go without breaking checks.
runtime_files() {
    local major="${DRAVIX_VERSION%%.*}"
    printf '%s\n' \
        "$DRAVIX_LIBDIR/libdravix.so.$DRAVIX_VERSION" \
        "$DRAVIX_LIBDIR/libdravix.so.$major" \
        "$DRAVIX_UDEV_RULES_DIR/70-dravix.rules"
}

development_files() {
    printf '%s\n' \
        "$DRAVIX_INCLUDEDIR/dravix/dravix.h" \
        "$DRAVIX_LIBDIR/libdravix.so" \
        "$DRAVIX_LIBDIR/pkgconfig/dravix.pc" \
        "$DRAVIX_LIBDIR/cmake/dravix/dravixConfig.cmake" \
        "$DRAVIX_LIBDIR/cmake/dravix/dravixConfigVersion.cmake" \
        "$DRAVIX_LIBDIR/cmake/dravix/dravixTargets.cmake"
}

tools_files() {
    printf '%s\n' "$DRAVIX_BINDIR/dravixinfo" "$DRAVIX_BINDIR/dravixctl" \
        "share/bash-completion/completions/dravixctl"
}

viewer_files() {
    if [[ "$DRAVIX_VIEWER" == ON ]]; then
        printf '%s\n' "$DRAVIX_BINDIR/kyrViewer" "share/kyrViewer/eula.txt"
    fi
}

# Programs that load or link the library and so carry a run path to it.
library_loading_programs() {
    printf '%s\n' "$DRAVIX_BINDIR/dravixinfo" "$DRAVIX_BINDIR/dravixctl"
    if [[ "$DRAVIX_VIEWER" == ON ]]; then
        printf '%s\n' "$DRAVIX_BINDIR/kyrViewer"
    fi
}

# check_run_path FILE: the program's run path leads from its bin/ to the library directory.
check_run_path() {
    local file="$1" expected="\$ORIGIN/../$DRAVIX_LIBDIR" paths
    paths="$(readelf -d "$file" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]/\2/p')"
    if [[ ":$paths:" != *":$expected:"* ]]; then
        fail "$file: run path '$paths', expected $expected"
    fi
}

# check_soname FILE: the library's SONAME is libdravix.so.<major>.
check_soname() {
    local soname
    soname="$(readelf -d "$1" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')"
    [[ "$soname" == "libdravix.so.${DRAVIX_VERSION%%.*}" ]] || fail "$1: SONAME '$soname'"
}
