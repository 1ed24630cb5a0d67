# The auditions of the main window and of the open dialog's preview panel.
if(BRELKA_GUI)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Core Multimedia)
  add_library(brelka_audition STATIC
    ${CMAKE_CURRENT_LIST_DIR}/SlotAudition.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FileAudition.cpp)
  target_include_directories(brelka_audition PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(brelka_audition PUBLIC platform_waveout brelka_core audiofile Qt6::Core)
endif()
