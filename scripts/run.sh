#!/usr/bin/env bash
# Sets up the machine, builds the release tree build/ and starts the viewer kyrViewer on one
# emulated camera, with the removable medium for captures pointed at build/kyrViewer-media (created
# here). Arguments are passed to the viewer. DRAVIX_CAMEMU, DRAVIX_CAMEMU_FORMAT and KYRVIEWER_MEDIA
# set by the caller are kept: DRAVIX_CAMEMU=0 uses real cameras only.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# The main program: its CMake target and its path inside the build tree.
MAIN_TARGET="kyrViewer"
MAIN_PROGRAM="viewer/kyrViewer"

BUILD_DIR="$DRAVIX_ROOT/build"

bash "$DRAVIX_ROOT/scripts/setup.sh"
configure_tree "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD_DIR" --target "$MAIN_TARGET" --parallel "$DRAVIX_JOBS"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    say "no display: run this from a desktop session (DISPLAY or WAYLAND_DISPLAY must be set)"
    exit 1
fi
export DRAVIX_CAMEMU="${DRAVIX_CAMEMU:-1}"
export KYRVIEWER_MEDIA="${KYRVIEWER_MEDIA:-$BUILD_DIR/kyrViewer-media}"
mkdir -p "$KYRVIEWER_MEDIA"
say "captures go to $KYRVIEWER_MEDIA"
exec "$BUILD_DIR/$MAIN_PROGRAM" "$@"
