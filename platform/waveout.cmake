# Wave audio output on Qt Multimedia, for the auditions of the window program.
if(BRELKA_GUI)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Core Multimedia)
  add_library(platform_waveout STATIC ${CMAKE_CURRENT_LIST_DIR}/WaveOut.cpp)
  target_include_directories(platform_waveout PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(platform_waveout PUBLIC Qt6::Core Qt6::Multimedia)
endif()
