# Install rules: the programs in bin, the shipped data files in share/kestrix (where the programs
# look for them relative to their own folder), the desktop entry and its icon, the display
# library for other programs; then the package (cmake/Package.cmake). Included at the end of the
# top CMakeLists, after every target exists.

# Installing (and cpack, which installs into its staging folder) takes the build as it is rather
# than building every target first: build, then install or package.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

install(TARGETS kestrix kestrix-cli kestrix-board-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KESTRIX_DATA_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrix)

install(FILES ${CMAKE_SOURCE_DIR}/data/kestrix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/kestrix.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps)

# The display library for other programs: the library with its soname links, its headers, the
# CMake package KestrixComm (target KestrixComm::kestrixcomm) and kestrixcomm.pc. Qt stays a
# private dependency: consumers link the library alone.
install(TARGETS kestrixcomm EXPORT KestrixCommTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/kestrix DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")

set(kestrix_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/KestrixComm)
install(EXPORT KestrixCommTargets NAMESPACE KestrixComm:: DESTINATION ${kestrix_cmake_dir})
include(CMakePackageConfigHelpers)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/KestrixCommConfig.cmake.in
  ${CMAKE_BINARY_DIR}/KestrixCommConfig.cmake INSTALL_DESTINATION ${kestrix_cmake_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/KestrixCommConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/KestrixCommConfig.cmake ${CMAKE_BINARY_DIR}/KestrixCommConfigVersion.cmake
  DESTINATION ${kestrix_cmake_dir})

# The way from <libdir>/pkgconfig back to the prefix: "../.." for lib, "../../.." for a
# multiarch lib/x86_64-linux-gnu.
file(RELATIVE_PATH KESTRIX_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" KESTRIX_PC_TO_PREFIX "${KESTRIX_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/kestrixcomm.pc.in ${CMAKE_BINARY_DIR}/kestrixcomm.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/kestrixcomm.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
