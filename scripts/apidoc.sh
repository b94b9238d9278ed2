#!/usr/bin/env bash
# Generates the HTML API reference of include/dravix/dravix.h with Doxygen.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

usage() {
    cat <<USAGE
usage: scripts/apidoc.sh [--no-setup] [OUTPUT_DIR]
  OUTPUT_DIR  where html/ is written (default: build/apidoc)
  --no-setup  do not check or install the Debian packages (doxygen comes with them)
Open OUTPUT_DIR/html/index.html; the functions are on the page of dravix.h.
USAGE
}

SETUP=1
OUTPUT="$DRAVIX_ROOT/build/apidoc"
while [[ $# -gt 0 ]]; do
    case "$1" in
        --no-setup) SETUP=0 ;;
        -h | --help)
            usage
            exit 0
            ;;
        -*)
            usage >&2
            exit 2
            ;;
        *) OUTPUT="$1" ;;
    esac
    shift
done

[[ $SETUP -eq 1 ]] && bash "$DRAVIX_ROOT/scripts/setup.sh"
if ! command -v doxygen >/dev/null; then
    say "doxygen is missing: run scripts/setup.sh (Debian package doxygen)"
    exit 1
fi

mkdir -p "$OUTPUT"
OUTPUT="$(cd "$OUTPUT" && pwd)"
# The Doxyfile's settings, then where this run reads and writes; STRIP_FROM_PATH keeps the
# machine's directories out of the pages.
{
    cat "$DRAVIX_ROOT/docs/Doxyfile"
    echo "INPUT = $DRAVIX_ROOT/include/dravix/dravix.h"
    echo "OUTPUT_DIRECTORY = $OUTPUT"
    echo "STRIP_FROM_PATH = $DRAVIX_ROOT/include"
    echo "PROJECT_NUMBER = $(sed -n 's/^project(dravix VERSION \([0-9.]*\).*/\1/p' \
        "$DRAVIX_ROOT/CMakeLists.txt")"
} | doxygen -
say "API reference: $OUTPUT/html/index.html"
