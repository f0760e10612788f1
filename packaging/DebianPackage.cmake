# The Debian package, built by CPack from the install rules (cpack -G DEB;
# scripts/package.sh does the whole build). Its version is the project's.

set(QUARNEL_PACKAGE_MAINTAINER "Quarnel developers <quarnel@example.org>"
    CACHE STRING "Maintainer of the Debian package: name <address>")

# Debian's documents of the package: the copyright, and a changelog
# (compressed, as lintian wants it) whose entry is this version.
install(FILES debian/copyright DESTINATION ${QUARNEL_DOC_DIR})
string(TIMESTAMP QUARNEL_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(debian/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
quarnel_install_gzipped(${CMAKE_CURRENT_BINARY_DIR}/changelog ${QUARNEL_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarnel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quarnel developers")
set(CPACK_PACKAGE_CONTACT "${QUARNEL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_PACKAGE_NAME quarnel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUARNEL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the binaries link come from dpkg-shlibdeps. Qt loads its
# platform plugin (the connection to the display) at run time, where
# dpkg-shlibdeps cannot see it: without it the window cannot open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
# The sans-serif face of the widths the window's layout was drawn for.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation2)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "firmware updater for motor controllers on a serial port
Quarnel finds a motor controller on a serial port, checks that a firmware
file (.QRV) belongs to the controller's model, and writes it into each of
the controller's microcontrollers block by block, with checksums. It also
shows the firmware version the controller runs.
.
The package holds the window, quarnel, with its desktop menu entry, and
quarnel-cli, the same operations from a terminal for scripts and
production lines.")

include(CPack)
