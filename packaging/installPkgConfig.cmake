# Install-time part of dravix.pc: writes DRAVIX_PC_TEMPLATE, with the prefix being installed to,
# as <prefix>/DRAVIX_PC_DIR/dravix.pc (under DESTDIR when set).
file(READ "${DRAVIX_PC_TEMPLATE}" pc)
string(REPLACE "@DRAVIX_INSTALL_PREFIX@" "${CMAKE_INSTALL_PREFIX}" pc "${pc}")
set(pc_file "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${DRAVIX_PC_DIR}/dravix.pc")
message(STATUS "Installing: ${pc_file}")
file(WRITE "${pc_file}" "${pc}")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${pc_file}")
