# Windows: every command-line program carries the product's icon, a version resource (product
# version, its own description) and the application manifest. The icon is rendered once from the
# drawing the Linux icons come from.
enable_language(RC)
find_program(RELVANE_RSVG_CONVERT rsvg-convert REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(RELVANE_PROGRAM_ICON ${CMAKE_BINARY_DIR}/windows-resources/relvane.ico)
if(NOT TARGET relvane_program_icon)
  set(icon_pngs)
  foreach(size IN ITEMS 16 32 48 256)
    set(png ${CMAKE_BINARY_DIR}/windows-resources/icon-${size}.png)
    add_custom_command(OUTPUT ${png}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/windows-resources
                       COMMAND ${RELVANE_RSVG_CONVERT} --width=${size} --height=${size} --format=png
                               --output=${png} ${PROJECT_SOURCE_DIR}/packaging/icons/relvane.svg
                       DEPENDS ${PROJECT_SOURCE_DIR}/packaging/icons/relvane.svg VERBATIM)
    list(APPEND icon_pngs ${png})
  endforeach()
  add_custom_command(OUTPUT ${RELVANE_PROGRAM_ICON}
                     COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/packaging/windows/make-ico.py
                             ${RELVANE_PROGRAM_ICON} ${icon_pngs}
                     DEPENDS ${icon_pngs} ${PROJECT_SOURCE_DIR}/packaging/windows/make-ico.py VERBATIM)
  add_custom_target(relvane_program_icon DEPENDS ${RELVANE_PROGRAM_ICON})
endif()

# relvane_windows_resources(TARGET "description")
function(relvane_windows_resources target description)
  set(RELVANE_PROGRAM_NAME ${target})
  set(RELVANE_PROGRAM_DESCRIPTION ${description})
  set(RELVANE_PROGRAM_MANIFEST ${PROJECT_SOURCE_DIR}/packaging/windows/relvane.manifest)
  set(rc ${CMAKE_BINARY_DIR}/windows-resources/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/program.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS
    "${RELVANE_PROGRAM_ICON};${RELVANE_PROGRAM_MANIFEST};${PROJECT_SOURCE_DIR}/src/app/VersionValues.h")
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} relvane_program_icon)
  # The resource compiler finds VersionValues.h as app/VersionValues.h.
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
endfunction()
