# Faster builds. Included right after project(), it makes ccache the compiler launcher and lld
# the linker when they are installed; kestrix_speed_up_targets(), called once every target
# exists, gives the Qt-heavy targets precompiled headers and the test suites settings that are
# the same in every build folder.
#
#   -DKESTRIX_CCACHE=OFF   compile without ccache
#   -DKESTRIX_LLD=OFF      link with the compiler's default linker (GNU ld)
#   -DKESTRIX_PCH=OFF      compile without precompiled headers (shows a missing #include that a
#                          precompiled header would hide)

option(KESTRIX_CCACHE "Compile through ccache when it is installed" ON)
option(KESTRIX_LLD "Link with lld when the compiler can use it" ON)
option(KESTRIX_PCH "Precompile the Qt, standard library and GoogleTest headers" ON)

# ccache, configured for this project through its environment (the user's own ccache settings
# stay in force otherwise):
#   pch_defines, time_macros       ccache cannot see the #defines and time macros behind a
#                                  precompiled header (its manual asks for both)
#   include_file_mtime/ctime       a precompiled header made in the same second as a compile
#                                  that uses it would otherwise keep that compile out of the
#                                  cache
#   base_dir, no hash_dir          paths under the source tree are hashed relative to the
#                                  compile folder, so a fresh build folder (or a fresh clone in
#                                  another folder, as on CI) hits the cache; the compile folder
#                                  recorded in a hit's debug information is then that of the
#                                  build that stored it. With clang, ccache 4.7 hashes the path
#                                  of the precompiled header as it is, so a source that takes
#                                  one hits only in a build folder of the same path
if(KESTRIX_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  find_program(KESTRIX_CCACHE_PROGRAM ccache)
  if(KESTRIX_CCACHE_PROGRAM)
    set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env
      CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
      CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} CCACHE_NOHASHDIR=1
      ${KESTRIX_CCACHE_PROGRAM})
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
      # A clang precompiled header otherwise records the time it was made, so no two are equal.
      add_compile_options(-Xclang -fno-pch-timestamp)
    endif()
  endif()
endif()

# lld links the programs, each with the static libraries and their debug information, in a
# third to a half of the time GNU ld takes.
if(KESTRIX_LLD)
  include(CheckLinkerFlag)
  check_linker_flag(CXX -fuse-ld=lld KESTRIX_HAVE_LLD)
  if(KESTRIX_HAVE_LLD)
    add_link_options(-fuse-ld=lld)
  endif()
endif()

# What the precompiled headers hold: headers from outside the project only, so that editing one
# of ours rebuilds what includes it and no more. The headless list is what the core library may
# see (Qt Core, Network, SerialPort and the standard library; the core's headless guard is on
# the include path when it is compiled, so a Gui header here fails the build); the UI library
# adds Gui and Widgets, the tests add GoogleTest and Qt Test.
set(KESTRIX_PCH_HEADLESS
  <algorithm> <array> <atomic> <cstdint> <functional> <memory> <mutex> <optional> <span>
  <string> <utility> <vector>
  <QByteArray> <QCoreApplication> <QDateTime> <QDir> <QFile> <QFileInfo> <QHash> <QList>
  <QMutex> <QObject> <QSerialPort> <QString> <QStringList> <QThread>)
set(KESTRIX_PCH_GUI ${KESTRIX_PCH_HEADLESS}
  <QCheckBox> <QComboBox> <QDialog> <QGridLayout> <QGroupBox> <QHBoxLayout> <QIcon> <QLabel>
  <QLineEdit> <QMessageBox> <QPointer> <QPushButton> <QSignalBlocker> <QVBoxLayout> <QWidget>)
set(KESTRIX_PCH_TESTS ${KESTRIX_PCH_GUI}
  <gtest/gtest.h> <QTest> <QProcess> <QTemporaryDir> <QTimer>)

# Every buildsystem target defined in a folder and the folders below it.
function(kestrix_targets_below folder out)
  get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
  foreach(subfolder IN LISTS subfolders)
    kestrix_targets_below(${subfolder} below)
    list(APPEND targets ${below})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# The file AUTOMOC compiles for a target is empty when the target declares no QObject class in
# a header, as the command line and the test suites do not; taking the precompiled header would
# cost it close to a second where it otherwise takes none.
function(kestrix_precompile_headers_skip_moc_file target)
  get_target_property(folder ${target} BINARY_DIR)
  set_source_files_properties(${folder}/${target}_autogen/mocs_compilation.cpp
    TARGET_DIRECTORY ${target} PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
endfunction()

function(kestrix_speed_up_targets)
  # Qt Test defines the build and source folders for QFINDTESTDATA and QTEST_MAIN, which the
  # suites do not use (QFINDTESTDATA still looks beside the program and in the current folder
  # without them). Left in, these -D options would differ between build folders and clones, so
  # that no suite came from ccache there, and between test folders, so that suites in two
  # folders could not share a precompiled header.
  get_target_property(qt_test_definitions Qt6::Test INTERFACE_COMPILE_DEFINITIONS)
  list(FILTER qt_test_definitions EXCLUDE REGEX "^QT_TESTCASE_(BUILD|SOURCE)DIR=")
  set_target_properties(Qt6::Test PROPERTIES INTERFACE_COMPILE_DEFINITIONS "${qt_test_definitions}")

  if(NOT KESTRIX_PCH)
    return()
  endif()
  target_precompile_headers(kestrix_core PRIVATE ${KESTRIX_PCH_HEADLESS})
  target_precompile_headers(kestrix_ui PRIVATE ${KESTRIX_PCH_GUI})

  # The command line on the core library: a target there with several sources gets the headless
  # headers, precompiled for it: the program is compiled -fPIE where the core is -fPIC, and GCC
  # and clang take a precompiled header only with the same setting.
  kestrix_targets_below(${CMAKE_SOURCE_DIR}/src/cli cli_targets)
  foreach(target IN LISTS cli_targets)
    get_target_property(type ${target} TYPE)
    get_property(sources TARGET ${target} PROPERTY SOURCES)
    list(LENGTH sources count)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|OBJECT_LIBRARY)$" AND count GREATER 1)
      target_precompile_headers(${target} PRIVATE ${KESTRIX_PCH_HEADLESS})
      kestrix_precompile_headers_skip_moc_file(${target})
    endif()
  endforeach()

  # The test suites: each is one source on the test support library. Suites compiled with the
  # same settings of their own (compile definitions and options; usually none) share one
  # precompiled header: the first builds it, the others reuse it. A suite whose settings no
  # other suite has is compiled without one: a header precompiled for a single source would
  # cost more than it saves.
  kestrix_targets_below(${CMAKE_SOURCE_DIR}/tests test_targets)
  set(groups "")
  foreach(target IN LISTS test_targets)
    get_target_property(type ${target} TYPE)
    get_property(links TARGET ${target} PROPERTY LINK_LIBRARIES)
    if(type STREQUAL "EXECUTABLE" AND kestrix_test_support IN_LIST links)
      get_property(definitions TARGET ${target} PROPERTY COMPILE_DEFINITIONS)
      get_property(options TARGET ${target} PROPERTY COMPILE_OPTIONS)
      string(MD5 group "${definitions}|${options}")
      list(APPEND groups ${group})
      list(APPEND suites_${group} ${target})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES groups)
  foreach(group IN LISTS groups)
    list(LENGTH suites_${group} count)
    if(count LESS 2)
      continue()
    endif()
    list(POP_FRONT suites_${group} donor)
    target_precompile_headers(${donor} PRIVATE ${KESTRIX_PCH_TESTS})
    kestrix_precompile_headers_skip_moc_file(${donor})
    foreach(target IN LISTS suites_${group})
      target_precompile_headers(${target} REUSE_FROM ${donor})
      kestrix_precompile_headers_skip_moc_file(${target})
    endforeach()
  endforeach()
endfunction()
