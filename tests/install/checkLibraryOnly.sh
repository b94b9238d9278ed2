#!/usr/bin/env bash
# Configures a tree without the viewer while CMake may not find Qt 5 or OpenCV, and checks that
# the library, its tools and the tests that need neither are there and nothing links Qt or OpenCV.
# usage: checkLibraryOnly.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/installLayout.sh"

SOURCE="$1"
WORK="$2"

rm -rf "$WORK"
cmake -S "$SOURCE" -B "$WORK" -G Ninja -DDRAVIX_BUILD_VIEWER=OFF -DDRAVIX_BUILD_TESTS=ON \
    -DDRAVIX_BUILD_BENCH=ON -DDRAVIX_BUILD_FUZZ=OFF -DDRAVIX_SANITIZER= \
    -DCMAKE_DISABLE_FIND_PACKAGE_Qt5=ON -DCMAKE_DISABLE_FIND_PACKAGE_OpenCV=ON >"$WORK.log"

targets="$(ninja -C "$WORK" -t targets all | sed -n 's/^\([^: ]*\): phony$/\1/p')"
for target in dravix dravixinfo dravix_api_tests dravix_jpeg_tests dravix_video_bench; do
    grep -qx "$target" <<<"$targets" || fail "target $target missing without the viewer"
done
for target in kyrViewer kyrviewer_lib dravix_picture_tests dravix_color_bench; do
    grep -qx "$target" <<<"$targets" && fail "target $target built without the viewer"
done
if grep -Eiq 'libQt5|opencv' "$WORK/build.ninja"; then
    fail "the build links Qt or OpenCV: $(grep -Eio '[^ ]*(libQt5|opencv)[^ ]*' "$WORK/build.ninja" | sort -u | head -n 3)"
fi

if [[ $FAILURES -ne 0 ]]; then
    exit 1
fi
rm -rf "$WORK" "$WORK.log"
echo "library without the viewer: ok"
