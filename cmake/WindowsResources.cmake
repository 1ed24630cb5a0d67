# What the Windows executables carry in their resources besides their code: the project's icon
# (packaging/brelka.svg drawn at the sizes Windows shows) and the application manifests.
#   BRELKA_ICON_FILE           the icon file, made at build time (target brelka_icon)
#   BRELKA_MANIFEST_FILE       the window program's manifest
#   BRELKA_CLI_MANIFEST_FILE   the command-line tool's manifest
find_program(BRELKA_RSVG_CONVERT rsvg-convert REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(BRELKA_ICON_FILE ${CMAKE_BINARY_DIR}/resources/brelka.ico)
set(icon_svg ${CMAKE_SOURCE_DIR}/packaging/brelka.svg)
set(icon_pngs)
foreach(size 16 24 32 48 256)
  set(png ${CMAKE_BINARY_DIR}/resources/brelka-${size}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${BRELKA_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${icon_svg}
    DEPENDS ${icon_svg} VERBATIM)
  list(APPEND icon_pngs ${png})
endforeach()
add_custom_command(OUTPUT ${BRELKA_ICON_FILE}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/make-ico.py ${BRELKA_ICON_FILE}
          ${icon_pngs}
  DEPENDS ${icon_pngs} ${CMAKE_SOURCE_DIR}/scripts/make-ico.py VERBATIM)
add_custom_target(brelka_icon DEPENDS ${BRELKA_ICON_FILE})

file(READ ${CMAKE_SOURCE_DIR}/packaging/windows/manifest-common.xml BRELKA_MANIFEST_COMMON)
set(BRELKA_MANIFEST_FILE ${CMAKE_BINARY_DIR}/resources/brelka.exe.manifest)
set(BRELKA_CLI_MANIFEST_FILE ${CMAKE_BINARY_DIR}/resources/brelka-cli.exe.manifest)
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/brelka.exe.manifest ${BRELKA_MANIFEST_FILE}
  @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/brelka-cli.exe.manifest
  ${BRELKA_CLI_MANIFEST_FILE} @ONLY)

# brelka_windows_resources(<target> <rc file>): the target is built with the resource script,
# which names the icon and a manifest, and rebuilt when they change.
function(brelka_windows_resources target rc)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS
    "${BRELKA_ICON_FILE};${BRELKA_MANIFEST_FILE};${BRELKA_CLI_MANIFEST_FILE}")
  add_dependencies(${target} brelka_icon)
endfunction()
