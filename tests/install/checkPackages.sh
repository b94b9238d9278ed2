#!/usr/bin/env bash
# Builds the Debian packages of the build tree with CPack and checks their control fields and
# contents. usage: checkPackages.sh BUILD_DIR WORK_DIR   (layout: see installLayout.sh)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/installLayout.sh"

BUILD="$1"
WORK="$2"
ARCH="$(dpkg --print-architecture)"
RUNTIME="libdravix${DRAVIX_VERSION%%.*}"

rm -rf "$WORK"
mkdir -p "$WORK"
cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK" >"$WORK/cpack.log"

# Each package: its component and what its Depends field must name (separated by ';').
PACKAGES=(
    "$RUNTIME|runtime|libc6;libhidapi-hidraw0;libjpeg62-turbo;libx11-6"
    "libdravix-dev|development|$RUNTIME (= $DRAVIX_VERSION)"
    "dravix-tools|tools|$RUNTIME (= $DRAVIX_VERSION)"
)
if [[ "$DRAVIX_VIEWER" == ON ]]; then
    PACKAGES+=("kyrviewer|viewer|$RUNTIME (= $DRAVIX_VERSION);libqt5widgets5")
fi

# check_fields DEB PACKAGE DEPENDENCIES
check_fields() {
    local deb="$1" package="$2" dependencies="$3" field value dependency
    local -A expected=([Package]="$package" [Version]="$DRAVIX_VERSION" [Architecture]="$ARCH")
    for field in "${!expected[@]}"; do
        value="$(dpkg-deb -f "$deb" "$field")"
        [[ "$value" == "${expected[$field]}" ]] || fail "$package: $field is '$value'"
    done
    for field in Maintainer Description Section; do
        [[ -n "$(dpkg-deb -f "$deb" "$field")" ]] || fail "$package: no $field"
    done
    value="$(dpkg-deb -f "$deb" Depends)"
    IFS=';' read -ra dependencies <<<"$dependencies"
    for dependency in "${dependencies[@]}"; do
        [[ ", $value," == *", $dependency"[\ ,]* ]] ||
            fail "$package: Depends '$value' lacks $dependency"
    done
}

# check_contents DEB PACKAGE COMPONENT: every file of the component is in the package under /usr.
check_contents() {
    local deb="$1" package="$2" component="$3" contents path
    contents="$(dpkg-deb -c "$deb" | awk '{print $6}')"
    while IFS= read -r path; do
        grep -qxF "./usr/$path" <<<"$contents" || fail "$package lacks /usr/$path"
    done < <("${component}_files")
}

# The development package's dravix.pc names the package's prefix.
check_development_package() {
    local extract="$WORK/extract-dev"
    dpkg-deb -x "$1" "$extract"
    grep -qx "prefix=/usr" "$extract/usr/$DRAVIX_LIBDIR/pkgconfig/dravix.pc" ||
        fail "dravix.pc of libdravix-dev does not name the prefix /usr"
}

check_runtime_package() {
    local deb="$1" extract="$WORK/extract"
    dpkg-deb -I "$deb" shlibs | grep -q "^libdravix ${DRAVIX_VERSION%%.*} $RUNTIME (>= " ||
        fail "$RUNTIME has no shlibs entry"
    local postinst
    postinst="$(dpkg-deb -I "$deb" postinst)"
    grep -q "^ *ldconfig$" <<<"$postinst" || fail "$RUNTIME does not refresh the linker cache"
    grep -q "udevadm control --reload-rules" <<<"$postinst" ||
        fail "$RUNTIME does not reload the udev rules"
    dpkg-deb -x "$deb" "$extract"
    check_soname "$extract/usr/$DRAVIX_LIBDIR/libdravix.so.$DRAVIX_VERSION"
}

for entry in "${PACKAGES[@]}"; do
    IFS='|' read -r package component dependencies <<<"$entry"
    deb="$WORK/${package}_${DRAVIX_VERSION}_$ARCH.deb"
    if [[ ! -f "$deb" ]]; then
        fail "no package $deb"
        continue
    fi
    echo "== $package: $(dpkg-deb -f "$deb" Depends)"
    dpkg-deb -c "$deb" | awk '{print "   ", $6, $7, $8}'
    check_fields "$deb" "$package" "$dependencies"
    check_contents "$deb" "$package" "$component"
done
check_runtime_package "$WORK/${RUNTIME}_${DRAVIX_VERSION}_$ARCH.deb"
check_development_package "$WORK/libdravix-dev_${DRAVIX_VERSION}_$ARCH.deb"

if [[ $FAILURES -ne 0 ]]; then
    exit 1
fi
rm -rf "$WORK"
echo "Debian packages: ok"
