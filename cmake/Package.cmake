# The Debian package: `cpack -G DEB` in the build folder. Its Depends line is computed from the
# binaries by dpkg-shlibdeps (package dpkg-dev), plus the platform plugins the window needs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestrix")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configuration utility for Kestrix LED clock and display boards")
# The long description below the summary, its lines as the control file shows them.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[Finds a Kestrix board on a serial port, sets its clock, reads and writes
its parameters, alarm programs and day and night schedule, and reads its
operating counters. Includes the command-line tool kestrix-cli, the
simulated board kestrix-board-sim and the library libkestrixcomm through
which other programs drive a display board.]])
set(CPACK_PACKAGE_CONTACT "Kestrix developers <kestrix@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The library gets a shlibs file and the ldconfig trigger.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-dseg)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
include(CPack)
