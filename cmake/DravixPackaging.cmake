# Debian packages made by `cpack -G DEB` from the install components, one package each:
#   runtime      libdravix2      the shared library and the udev rule
#   development  libdravix-dev   header, libdravix.so, dravix.pc, CMake package
#   tools        dravix-tools    command-line programs (install rules without a component)
#   viewer       kyrviewer       the Qt 5 viewer, when built
# Included last, so that CPack sees the components of every directory.
set(DRAVIX_PACKAGE_CONTACT "dravix maintainers <dravix@localhost>" CACHE STRING
    "Maintainer field of the Debian packages")

set(CPACK_PACKAGE_NAME dravix)
set(CPACK_PACKAGE_VENDOR "ZEL GmbH")
set(CPACK_PACKAGE_CONTACT "${DRAVIX_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
# Run-time dependencies come from the ELF files (dpkg-shlibdeps); the programs that load the
# library with dlopen get theirs on libdravix2 from the component dependencies below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dravixctl links the library that the runtime package brings; dpkg-shlibdeps finds it here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/dravix)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libdravix${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS udev)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/deb/postinst)
# Descriptions: the first line is the package's synopsis.
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "USB 3 camera library (libdravix.so.${PROJECT_VERSION_MAJOR})
The library behind the flat C interface of 160 ZEL_CAM_ functions: camera discovery, video
streams, picture files, DSP parameters, settings files and firmware updates; emulated cameras
with DRAVIX_CAMEMU. The udev rule lets the desktop user and plugdev open real cameras.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libdravix-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "USB 3 camera library (development files)
The header dravix/dravix.h, the link libdravix.so, the pkg-config file dravix.pc and the CMake
package dravix (find_package(dravix), target dravix::dravix).")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME dravix-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
    "USB 3 camera library (command-line tools)
Programs that use the camera library through its public C interface.")

set(CPACK_DEBIAN_VIEWER_PACKAGE_NAME kyrviewer)
set(CPACK_DEBIAN_VIEWER_PACKAGE_SECTION graphics)
set(CPACK_COMPONENT_VIEWER_DEPENDS runtime)
set(CPACK_COMPONENT_VIEWER_DESCRIPTION
    "Live viewer for USB 3 cameras (Qt 5)
Shows the live picture of the first camera, takes JPEG snapshots and AVI recordings onto a
removable medium and replays them.")

include(CPack)
