# The Debian packages: `cpack -G DEB` in the build folder makes three from the install components
# of cmake/Install.cmake:
#   kestrix             Program      the programs, their data, manual pages and desktop files
#   libkestrixcomm2     Library      the display library, named after its soname
#   libkestrixcomm-dev  Development  what building against the library takes
# Depends lines are computed from the binaries by dpkg-shlibdeps (package dpkg-dev). kestrix
# does not depend on libkestrixcomm2: its programs link the core statically and never load the
# library.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Program Library Development)
set(CPACK_PACKAGE_NAME kestrix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestrix")
set(CPACK_PACKAGE_CONTACT "Kestrix Team <kestrix@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)

# The Debian revision is the one packaging/debian/changelog names for this version.
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^kestrix \\(${PROJECT_VERSION}-([0-9A-Za-z.+~]+)\\)")
  message(FATAL_ERROR "packaging/debian/changelog starts with \"${changelog_head}\", "
                      "not an entry for version ${PROJECT_VERSION}")
endif()
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_1})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE kestrix)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

# Each description's first line is the package's summary.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME ${KESTRIX_PROGRAM_PACKAGE})
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_RECOMMENDS fonts-dseg)
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION [[configuration utility for Kestrix LED clock and display boards
Finds a Kestrix board on a serial port, sets its clock, reads and writes
its parameters, alarm programs and day and night schedule, and reads its
operating counters. Includes the command-line tool kestrix-cli and the
simulated board kestrix-board-sim.]])

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME ${KESTRIX_LIBRARY_PACKAGE})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
# A shlibs file (only this package has a shared library), and the ldconfig trigger instead of
# maintainer scripts.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/debian/triggers)
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION [[library driving Kestrix LED display boards
Sends currency rates, intensity, test and time lines to Kestrix display
boards on a serial port or a network serial server, through a C++ and a
C interface.
.
This package holds the shared library.]])

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME ${KESTRIX_DEVELOPMENT_PACKAGE})
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS Library)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION [[development files for the Kestrix display board library
Sends currency rates, intensity, test and time lines to Kestrix display
boards on a serial port or a network serial server, through a C++ and a
C interface.
.
This package holds the headers, the CMake package KestrixComm and the
pkg-config file kestrixcomm.pc.]])

# CPack adds ldconfig calls in postinst and postrm to a package with a library in /usr/lib;
# the trigger above does that job, so the library package is rebuilt without them.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/packaging/drop_ldconfig_scripts.cmake)
include(CPack)
