#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, checks what it holds, builds the camera client
# against it with pkg-config and with find_package(dravix), and runs both on an emulated camera.
# usage: checkInstall.sh BUILD_DIR CLIENT_SOURCE_DIR WORK_DIR   (layout: see installLayout.sh)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/installLayout.sh"

BUILD="$1"
CLIENT_SOURCE="$2"
WORK="$3"
PREFIX="$WORK/prefix"
FRAMES=10
CC="${CC:-cc}"

rm -rf "$WORK"
mkdir -p "$WORK/home"
cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log"

check_installed_files() {
    local path
    while IFS= read -r path; do
        [[ -e "$PREFIX/$path" ]] || fail "not installed: $path"
    done < <(runtime_files; development_files; tools_files; viewer_files)
}

check_library_links() {
    local lib="$PREFIX/$DRAVIX_LIBDIR" major="${DRAVIX_VERSION%%.*}"
    [[ "$(readlink "$lib/libdravix.so")" == "libdravix.so.$major" ]] ||
        fail "libdravix.so does not link to libdravix.so.$major"
    [[ "$(readlink "$lib/libdravix.so.$major")" == "libdravix.so.$DRAVIX_VERSION" ]] ||
        fail "libdravix.so.$major does not link to libdravix.so.$DRAVIX_VERSION"
    check_soname "$lib/libdravix.so.$DRAVIX_VERSION"
}

check_run_paths() {
    local program
    while IFS= read -r program; do
        check_run_path "$PREFIX/$program"
    done < <(library_loading_programs)
}

build_with_pkg_config() {
    local pc=(env PKG_CONFIG_PATH="$PREFIX/$DRAVIX_LIBDIR/pkgconfig" pkg-config)
    local version
    version="$("${pc[@]}" --modversion dravix)"
    [[ "$version" == "$DRAVIX_VERSION" ]] || fail "pkg-config reports version '$version'"
    # shellcheck disable=SC2046 # the flags are separate words
    "$CC" -std=c11 -Wall -Wextra -Werror -pedantic-errors "$CLIENT_SOURCE/cameraClient.c" \
        $("${pc[@]}" --cflags --libs dravix) -pthread -o "$WORK/pkgConfigClient"
}

build_with_find_package() {
    cmake -S "$CLIENT_SOURCE" -B "$WORK/cmakeClient" -G Ninja -DCMAKE_C_COMPILER="$CC" \
        -DCMAKE_PREFIX_PATH="$PREFIX" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$WORK/cmake.log"
    cmake --build "$WORK/cmakeClient" >>"$WORK/cmake.log"
    grep -q "^dravix_DIR:PATH=$PREFIX/" "$WORK/cmakeClient/CMakeCache.txt" ||
        fail "find_package(dravix) did not find the installed package"
}

# run_client NAME PROGRAM [env...]: runs the client on one emulated camera and checks that it
# used the installed library and saw whole frames.
run_client() {
    local name="$1" program="$2" output loaded
    shift 2
    local run=(env -u LD_LIBRARY_PATH -u DRAVIX_CAMEMU_FORMAT "$@" HOME="$WORK/home" DRAVIX_CAMEMU=1)
    loaded="$("${run[@]}" ldd "$program" | sed -n 's/.*libdravix\.so\.[0-9]* => \([^ ]*\).*/\1/p')"
    [[ "$loaded" == "$PREFIX/$DRAVIX_LIBDIR/"* ]] || fail "$name client loads '$loaded'"
    if ! output="$("${run[@]}" "$program" "$FRAMES")"; then
        fail "$name client failed: $output"
        return
    fi
    printf '%s: %s\n' "$name" "$output"
    [[ "$output" == *"dravix $DRAVIX_VERSION: 1 camera(s)"* ]] || fail "$name client: no camera"
    if [[ ! "$output" =~ :\ ([0-9]+)\ frames\ of\ 4147200\ bytes\ received ]] ||
        [[ "${BASH_REMATCH[1]}" -lt $FRAMES ]]; then
        fail "$name client: frames missing"
    fi
}

check_installed_files
check_library_links
check_run_paths
build_with_pkg_config
build_with_find_package
run_client pkg-config "$WORK/pkgConfigClient" LD_LIBRARY_PATH="$PREFIX/$DRAVIX_LIBDIR"
run_client find_package "$WORK/cmakeClient/cameraClient"

if [[ $FAILURES -ne 0 ]]; then
    exit 1
fi
rm -rf "$WORK"
echo "install tree and both clients: ok"
