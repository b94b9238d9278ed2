#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test dravix. Fast when all are present.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# Every Debian package the project needs, grouped by purpose. Add new dependencies here.
PACKAGES=(
    # toolchain
    build-essential cmake ninja-build pkg-config
    # clang with its libFuzzer and sanitizer runtimes, for the fuzz targets
    clang libclang-rt-14-dev
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev
    # logging and formatting
    libspdlog-dev libfmt-dev
)

missing=()
for package in "${PACKAGES[@]}"; do
    status="$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)"
    if [[ "$status" != "installed" ]]; then
        missing+=("$package")
    fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
    say "setup: all ${#PACKAGES[@]} packages present"
    exit 0
fi

say "setup: installing ${missing[*]}"
as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "${missing[@]}"
