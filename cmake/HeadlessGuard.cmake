# A folder of stand-ins for every Qt Gui and Widgets header, each an #error. Targets that must stay
# headless put it ahead of Qt's own include folders, so that including any of those headers, as
# <QLabel> or as <QtWidgets/QLabel>, fails the build.
function(kestrix_make_headless_guard target)
  set(guard ${CMAKE_BINARY_DIR}/headless_guard)
  foreach(module Gui Widgets)
    get_target_property(folders Qt6::${module} INTERFACE_INCLUDE_DIRECTORIES)
    foreach(folder IN LISTS folders)
      if(NOT folder MATCHES "/Qt${module}$")
        continue()
      endif()
      file(GLOB headers LIST_DIRECTORIES false RELATIVE ${folder} ${folder}/*)
      foreach(header IN LISTS headers)
        set(text "#error \"${header} is a Qt ${module} header: headless code must not include it\"\n")
        file(CONFIGURE OUTPUT ${guard}/${header} CONTENT "${text}")
        file(CONFIGURE OUTPUT ${guard}/Qt${module}/${header} CONTENT "${text}")
      endforeach()
      file(CONFIGURE OUTPUT ${guard}/Qt${module}/Qt${module} CONTENT
        "#error \"Qt${module} is a Qt ${module} header: headless code must not include it\"\n")
    endforeach()
  endforeach()
  add_library(${target} INTERFACE)
  target_include_directories(${target} BEFORE INTERFACE ${guard})
endfunction()
