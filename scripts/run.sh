#!/usr/bin/env bash
# Sets up the machine, builds the release tree build/ and runs the main program. Arguments are
# passed to the program.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# The main program: its CMake target and its path inside the build tree.
MAIN_TARGET="dravixinfo"
MAIN_PROGRAM="tools/dravixinfo/dravixinfo"

BUILD_DIR="$DRAVIX_ROOT/build"

bash "$DRAVIX_ROOT/scripts/setup.sh"
configure_tree "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD_DIR" --target "$MAIN_TARGET" --parallel "$DRAVIX_JOBS"
exec "$BUILD_DIR/$MAIN_PROGRAM" "$@"
