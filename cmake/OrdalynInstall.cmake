# What `cmake --install` puts where, under the GNU directory names; the
# packages that cpack makes (cmake/OrdalynPackaging.cmake) hold the same.
include(GNUInstallDirs)

set(ORDALYN_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/ordalyn)

# The programs, each one only when this build makes it.
set(ORDALYN_PROGRAMS ordalyn ordalyn-simtrace ordalyn-calls)
set(_binaries)
foreach(_program IN LISTS ORDALYN_PROGRAMS)
  if(TARGET ${_program})
    install(TARGETS ${_program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    list(APPEND _binaries "    <binary>${_program}</binary>")
  endif()
endforeach()
# The metainfo lists them.
list(JOIN _binaries "\n" ORDALYN_PROVIDED_BINARIES)

# The user's documentation, the example scenarios and the copyright notice.
install(FILES
  ${PROJECT_SOURCE_DIR}/README.md
  ${PROJECT_SOURCE_DIR}/docs/scenarios.md
  ${PROJECT_SOURCE_DIR}/docs/sample-trace.md
  ${PROJECT_SOURCE_DIR}/packaging/copyright
  DESTINATION ${ORDALYN_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${ORDALYN_INSTALL_DOCDIR}/examples)

if(WIN32)
  return()
endif()

# Manual pages: every docs/man/NAME.SECTION.scd becomes the roff page
# NAME.SECTION at build time. A page of section 1 is installed with its
# program; pages of programs this build does not make are built all the same,
# so a broken page fails every build.
find_program(ORDALYN_SCDOC scdoc)
if(NOT ORDALYN_SCDOC)
  message(FATAL_ERROR "scdoc is needed to build the manual pages: install it (scripts/setup does)")
endif()
file(GLOB _man_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/*.scd)
set(_man_pages)
foreach(_source IN LISTS _man_sources)
  get_filename_component(_page ${_source} NAME_WLE)
  if(NOT _page MATCHES "^(.+)\\.([1-9])$")
    message(FATAL_ERROR "${_source}: a manual page's source is named NAME.SECTION.scd")
  endif()
  set(_name ${CMAKE_MATCH_1})
  set(_section ${CMAKE_MATCH_2})
  set(_output ${PROJECT_BINARY_DIR}/man/${_page})
  add_custom_command(
    OUTPUT ${_output}
    COMMAND ${CMAKE_COMMAND} -DSCDOC=${ORDALYN_SCDOC} -DINPUT=${_source} -DOUTPUT=${_output}
            -P ${PROJECT_SOURCE_DIR}/cmake/OrdalynScdoc.cmake
    DEPENDS ${_source} ${PROJECT_SOURCE_DIR}/cmake/OrdalynScdoc.cmake
    COMMENT "Writing the manual page ${_page}"
    VERBATIM)
  list(APPEND _man_pages ${_output})
  if(_section EQUAL 1 AND NOT TARGET ${_name})
    continue()
  endif()
  install(FILES ${_output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${_section})
endforeach()
add_custom_target(ordalyn_manpages ALL DEPENDS ${_man_pages})

# The desktop: the menu entry, the icon in the hicolor theme and the AppStream
# metainfo, all named after the application's id.
if(TARGET ordalyn)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/ordalyn.desktop.in
                 ${PROJECT_BINARY_DIR}/packaging/${ORDALYN_APP_ID}.desktop @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/ordalyn.metainfo.xml.in
                 ${PROJECT_BINARY_DIR}/packaging/${ORDALYN_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/${ORDALYN_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/${ORDALYN_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)

  get_property(_images_dir GLOBAL PROPERTY ORDALYN_APP_IMAGES_DIR)
  get_property(_icon_sizes GLOBAL PROPERTY ORDALYN_APP_ICON_SIZES)
  foreach(_size IN LISTS _icon_sizes)
    install(FILES ${_images_dir}/appicon-${_size}.png
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${_size}x${_size}/apps
            RENAME ${ORDALYN_APP_ID}.png)
  endforeach()
endif()
