# Install rules: the programs in bin, the shipped data files in share/kestrix (where the programs
# look for them relative to their own folder), the desktop entry and its icon; then the package
# (cmake/Package.cmake). Included at the end of the top CMakeLists, after every target exists.

# Installing (and cpack, which installs into its staging folder) takes the build as it is rather
# than building every target first: build, then install or package.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

install(TARGETS kestrix kestrix-cli kestrix-board-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KESTRIX_DATA_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrix)

install(FILES ${CMAKE_SOURCE_DIR}/data/kestrix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/kestrix.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps)

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
