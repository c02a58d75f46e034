# Install rules, in three components that become the three Debian packages (cmake/Package.cmake):
#   Program      the programs in bin, the shipped data files in share/kestrix (where the programs
#                look for them relative to their own folder), the desktop entry, its icon and
#                AppStream metadata, the manual pages and the bash completion of kestrix-cli
#   Library      the display library for other programs, libkestrixcomm.so.2
#   Development  its headers, the unversioned .so link, the CMake package and kestrixcomm.pc
# Included at the end of the top CMakeLists, after every target exists.

# Installing (and cpack, which installs into its staging folder) takes the build as it is rather
# than building every target first: build, then install or package.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
# Folders as a distribution has them, whatever the umask of the one who packages.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Libraries go into the multiarch folder where the system has one (lib/x86_64-linux-gnu on
# Debian), whatever the prefix, so the packages are installable for several architectures.
if(CMAKE_LIBRARY_ARCHITECTURE AND CMAKE_INSTALL_LIBDIR STREQUAL "lib")
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
endif()

set(KESTRIX_PROGRAM_PACKAGE kestrix)
set(KESTRIX_LIBRARY_PACKAGE libkestrixcomm${PROJECT_VERSION_MAJOR})
set(KESTRIX_DEVELOPMENT_PACKAGE libkestrixcomm-dev)
set(packaging ${CMAKE_SOURCE_DIR}/packaging)
set(generated ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS kestrix kestrix-cli kestrix-board-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  COMPONENT Program)
install(FILES ${KESTRIX_DATA_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrix COMPONENT Program)
install(FILES ${CMAKE_SOURCE_DIR}/data/org.example.kestrix.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT Program)
install(FILES ${CMAKE_SOURCE_DIR}/data/kestrix.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps COMPONENT Program)
install(FILES ${CMAKE_SOURCE_DIR}/data/org.example.kestrix.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT Program)

# Made by the build (target kestrix_install_files): the manual pages, kestrix-cli's and
# kestrix-board-sim's from their own --help with help2man, kestrix's written in packaging/man;
# the completion script from kestrix-cli's command table; the changelog as Debian ships it.
find_program(KESTRIX_HELP2MAN help2man)
# The pages carry the date of the release in packaging/debian/changelog, not of the build.
file(STRINGS ${packaging}/debian/changelog release_trailer REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX REPLACE "^ -- .*>  " "" release_date "${release_trailer}")
execute_process(COMMAND date -u -d "${release_date}" +%s OUTPUT_VARIABLE KESTRIX_RELEASE_EPOCH
  OUTPUT_STRIP_TRAILING_WHITESPACE)
find_program(KESTRIX_GZIP gzip)
set(man_pages kestrix)
configure_file(${packaging}/man/kestrix.1.in ${generated}/kestrix.1 @ONLY)
set(generated_files)
if(KESTRIX_HELP2MAN)
  list(APPEND man_pages kestrix-cli kestrix-board-sim)
  set(kestrix-cli_name "drive Kestrix LED clock and display boards from the command line")
  set(kestrix-board-sim_name "simulate a Kestrix board on a pseudo-terminal")
  foreach(program kestrix-cli kestrix-board-sim)
    add_custom_command(OUTPUT ${generated}/${program}.1
      COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${KESTRIX_RELEASE_EPOCH}
        ${KESTRIX_HELP2MAN} --no-info --no-discard-stderr --version-string=${PROJECT_VERSION}
        "--name=${${program}_name}" --output=${generated}/${program}.1 $<TARGET_FILE:${program}>
      DEPENDS ${program}
      COMMENT "Writing the manual page of ${program}" VERBATIM)
  endforeach()
else()
  message(STATUS "help2man not found: the manual pages of kestrix-cli and kestrix-board-sim are not made")
endif()
foreach(page IN LISTS man_pages)
  add_custom_command(OUTPUT ${generated}/${page}.1.gz
    COMMAND ${KESTRIX_GZIP} -9nf --keep ${generated}/${page}.1
    DEPENDS ${generated}/${page}.1)
  list(APPEND generated_files ${generated}/${page}.1.gz)
  install(FILES ${generated}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Program)
endforeach()

add_custom_command(OUTPUT ${generated}/kestrix-cli
  COMMAND $<TARGET_FILE:kestrix-cli> --completion bash > ${generated}/kestrix-cli
  DEPENDS kestrix-cli
  COMMENT "Writing the bash completion of kestrix-cli")
install(FILES ${generated}/kestrix-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  COMPONENT Program)

configure_file(${packaging}/debian/changelog ${generated}/changelog.Debian COPYONLY)
add_custom_command(OUTPUT ${generated}/changelog.Debian.gz
  COMMAND ${KESTRIX_GZIP} -9nf --keep ${generated}/changelog.Debian
  DEPENDS ${packaging}/debian/changelog)
add_custom_target(kestrix_install_files ALL
  DEPENDS ${generated_files} ${generated}/kestrix-cli ${generated}/changelog.Debian.gz)

# Each package's copyright and changelog, where Debian looks for them, and its lintian overrides
# (each with its reason) where there are any.
foreach(component Program Library Development)
  string(TOUPPER ${component} upper)
  set(package ${KESTRIX_${upper}_PACKAGE})
  install(FILES ${packaging}/debian/copyright ${generated}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  if(EXISTS ${packaging}/debian/${package}.lintian-overrides)
    install(FILES ${packaging}/debian/${package}.lintian-overrides RENAME ${package}
      DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT ${component})
  endif()
endforeach()

# The display library for other programs: the library with its soname link (not executable, as
# a distribution ships it), its headers, the CMake package KestrixComm (target
# KestrixComm::kestrixcomm) and kestrixcomm.pc. Qt stays a private dependency: consumers link
# the library alone.
install(TARGETS kestrixcomm EXPORT KestrixCommTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Library NAMELINK_COMPONENT Development
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Library
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/kestrix DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT Development FILES_MATCHING PATTERN "*.h")

set(kestrix_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/KestrixComm)
install(EXPORT KestrixCommTargets NAMESPACE KestrixComm:: DESTINATION ${kestrix_cmake_dir}
  COMPONENT Development)
include(CMakePackageConfigHelpers)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/KestrixCommConfig.cmake.in
  ${CMAKE_BINARY_DIR}/KestrixCommConfig.cmake INSTALL_DESTINATION ${kestrix_cmake_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/KestrixCommConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/KestrixCommConfig.cmake ${CMAKE_BINARY_DIR}/KestrixCommConfigVersion.cmake
  DESTINATION ${kestrix_cmake_dir} COMPONENT Development)

# The way from <libdir>/pkgconfig back to the prefix: "../.." for lib, "../../.." for a
# multiarch lib/x86_64-linux-gnu.
file(RELATIVE_PATH KESTRIX_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" KESTRIX_PC_TO_PREFIX "${KESTRIX_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/kestrixcomm.pc.in ${CMAKE_BINARY_DIR}/kestrixcomm.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/kestrixcomm.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT Development)

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
