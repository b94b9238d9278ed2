#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test dravix. Fast when all are present.
# With --install-udev-rule it also installs the udev rule that gives desktop users access to the
# camera; without it, nothing outside the package manager is touched.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

usage() {
    cat <<USAGE
usage: scripts/setup.sh [--install-udev-rule]
  --install-udev-rule  also copy packaging/70-dravix.rules to /etc/udev/rules.d/ and reload
                       udev (needs root: uses sudo when not root), so that the logged-in user
                       and members of plugdev can open the camera without root
USAGE
}

INSTALL_UDEV_RULE=0
while [[ $# -gt 0 ]]; do
    case "$1" in
        --install-udev-rule) INSTALL_UDEV_RULE=1 ;;
        -h | --help)
            usage
            exit 0
            ;;
        *)
            usage >&2
            exit 2
            ;;
    esac
    shift
done

# Every Debian package the project needs, grouped by purpose. Add new dependencies here.
PACKAGES=(
    # toolchain
    build-essential cmake ninja-build pkg-config
    # clang with its libFuzzer and sanitizer runtimes, for the fuzz targets
    clang libclang-rt-14-dev
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev
    # the API reference (scripts/apidoc.sh)
    doxygen
    # logging and formatting
    libspdlog-dev libfmt-dev
    # HID access (hidapi, hidraw backend)
    libhidapi-dev
    # JPEG pictures of the library (libjpeg-turbo)
    libjpeg62-turbo-dev
    # the window display (Xlib) and the X server its tests draw into
    libx11-dev xvfb
    # the viewer (Qt 5 widgets, a font for its texts) and its picture and video files; OpenCV is
    # also the baseline of the colour conversion and scaling benchmarks
    qtbase5-dev fonts-dejavu-core libopencv-dev
    # the Python binding's arrays and its tests
    python3-numpy python3-pytest
    # the Debian packages (cpack -G DEB runs dpkg-shlibdeps, which needs file)
    dpkg-dev file
)

UDEV_RULE="$DRAVIX_ROOT/packaging/70-dravix.rules"
UDEV_RULES_DIR=/etc/udev/rules.d

install_packages() {
    local missing=() package status
    for package in "${PACKAGES[@]}"; do
        status="$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)"
        if [[ "$status" != "installed" ]]; then
            missing+=("$package")
        fi
    done

    if [[ ${#missing[@]} -eq 0 ]]; then
        say "setup: all ${#PACKAGES[@]} packages present"
        return 0
    fi

    say "setup: installing ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        "${missing[@]}"
}

# Copies the rule and applies it to the hidraw nodes present. Where udev does not run (as in
# most containers) the rule takes effect when udev next starts.
install_udev_rule() {
    say "setup: installing $UDEV_RULES_DIR/$(basename "$UDEV_RULE")"
    as_root install -D -m 0644 "$UDEV_RULE" "$UDEV_RULES_DIR/$(basename "$UDEV_RULE")"
    if ! command -v udevadm >/dev/null || [[ ! -S /run/udev/control ]]; then
        say "setup: udev is not running; the rule applies when it starts"
        return 0
    fi
    as_root udevadm control --reload-rules
    as_root udevadm trigger --subsystem-match=hidraw
}

install_packages
if [[ $INSTALL_UDEV_RULE -eq 1 ]]; then
    install_udev_rule
fi
