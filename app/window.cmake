# The window program (Qt 6 Widgets). Included from app/CMakeLists.txt.
if(BRELKA_GUI)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Widgets Test)

  # Everything but main(), so the tests drive the same window.
  add_library(brelka_window STATIC
    MainWin.cpp MainWin.h
    GetWin.cpp GetWin.h
    Application.cpp Application.h
    WindowIcons.cpp WindowIcons.h
    ${CMAKE_SOURCE_DIR}/packaging/brelka.qrc)
  set_target_properties(brelka_window PROPERTIES AUTOMOC ON AUTORCC ON)
  target_include_directories(brelka_window PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(brelka_window PUBLIC Qt6::Widgets brelka_core rateconv audiofile platform
    brelka_audition)

  set(brelka_sources main.cpp)
  if(WIN32)
    configure_file(brelka.rc.in ${CMAKE_CURRENT_BINARY_DIR}/brelka.rc @ONLY)
    list(APPEND brelka_sources ${CMAKE_CURRENT_BINARY_DIR}/brelka.rc)
  endif()
  add_executable(brelka WIN32 ${brelka_sources})
  target_link_libraries(brelka PRIVATE brelka_window Qt6::Widgets brelka_core rateconv audiofile
    platform)
  # The engine library is loaded at run time from beside the program; build it along.
  if(TARGET qmx)
    add_dependencies(brelka qmx)
  endif()
endif()
