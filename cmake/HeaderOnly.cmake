# CLI11 and nlohmann/json: header-only, the same for every target. A native build takes them as
# installed; a cross build takes them from the build machine through a folder of its own that
# holds only their headers, so that no other header of the build machine shadows the target's.
#   CLI11_INCLUDE_DIR                 the folder above CLI/CLI.hpp
#   nlohmann_json::nlohmann_json      an interface target
if(NOT CMAKE_CROSSCOMPILING)
  find_path(CLI11_INCLUDE_DIR CLI/CLI.hpp REQUIRED)
  find_package(nlohmann_json 3 REQUIRED)
  return()
endif()

set(BRELKA_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${BRELKA_HOST_HEADERS})
foreach(header CLI/CLI.hpp nlohmann/json.hpp)
  string(MAKE_C_IDENTIFIER "${header}" var)
  find_path(BRELKA_HOST_${var} ${header} PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
            NO_DEFAULT_PATH REQUIRED)
  get_filename_component(sub ${header} DIRECTORY)
  file(CREATE_LINK ${BRELKA_HOST_${var}}/${sub} ${BRELKA_HOST_HEADERS}/${sub} SYMBOLIC)
endforeach()
set(CLI11_INCLUDE_DIR ${BRELKA_HOST_HEADERS})
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${BRELKA_HOST_HEADERS})
endif()
