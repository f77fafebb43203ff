# What `cmake --install` puts where, under the GNU directory names; the
# packages that cpack makes (cmake/OrdalynPackaging.cmake) hold the same.
include(GNUInstallDirs)

set(ORDALYN_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/ordalyn)

# Who maintains the Debian package, as its control file and changelog name
# them: "Name <address>". The project has no address to give; whoever
# publishes the package sets theirs (lintian reports a maintainer without one).
set(ORDALYN_PACKAGE_MAINTAINER "Marbleknot" CACHE STRING
    "The Debian package's maintainer, \"Name <e-mail address>\"")
# The Debian revision of the package of this version.
set(ORDALYN_DEBIAN_RELEASE 1)

# Windows: the packages' own layout, the program beside its documents.
if(WIN32)
  if(TARGET ordalyn)
    include(${CMAKE_CURRENT_LIST_DIR}/OrdalynWindowsPackage.cmake)
  endif()
  return()
endif()

# The programs, each one only when this build makes it.
set(ORDALYN_PROGRAMS ordalyn ordalyn-simtrace ordalyn-calls)
set(_binaries)
foreach(_program IN LISTS ORDALYN_PROGRAMS)
  if(TARGET ${_program})
    # The programs need no library of their own: no RUNPATH (Qt's project
    # set-up would give them "$ORIGIN").
    set_target_properties(${_program} PROPERTIES INSTALL_RPATH "")
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

# Manual pages: every docs/man/NAME.SECTION.scd becomes the roff page
# NAME.SECTION at build time. A page of section 1 is installed with its
# program; pages of programs this build does not make are built all the same,
# so a broken page fails every build.
find_program(ORDALYN_SCDOC scdoc)
if(NOT ORDALYN_SCDOC)
  message(FATAL_ERROR "scdoc is needed to build the manual pages: install it (scripts/setup does)")
endif()
find_program(ORDALYN_GZIP gzip REQUIRED)
file(GLOB _man_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/*.scd)
set(_man_pages)
# Every generator makes the folder of a command's output itself but Unix Makefiles.
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/man)
foreach(_source IN LISTS _man_sources)
  get_filename_component(_page ${_source} NAME_WLE)
  if(NOT _page MATCHES "^(.+)\\.([1-9])$")
    message(FATAL_ERROR "${_source}: a manual page's source is named NAME.SECTION.scd")
  endif()
  set(_name ${CMAKE_MATCH_1})
  set(_section ${CMAKE_MATCH_2})
  set(_output ${PROJECT_BINARY_DIR}/man/${_page})
  add_custom_command(
    OUTPUT ${_output} ${_output}.gz
    COMMAND ${CMAKE_COMMAND} -DSCDOC=${ORDALYN_SCDOC} -DGZIP=${ORDALYN_GZIP} -DEPOCH=${ORDALYN_RELEASE_EPOCH}
            -DINPUT=${_source} -DOUTPUT=${_output} -P ${PROJECT_SOURCE_DIR}/cmake/OrdalynScdoc.cmake
    DEPENDS ${_source} ${PROJECT_SOURCE_DIR}/cmake/OrdalynScdoc.cmake
    COMMENT "Writing the manual page ${_page}"
    VERBATIM)
  list(APPEND _man_pages ${_output})
  if(_section EQUAL 1 AND NOT TARGET ${_name})
    continue()
  endif()
  install(FILES ${_output}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${_section})
endforeach()
add_custom_target(ordalyn_manpages ALL DEPENDS ${_man_pages})

# The release notes, compressed as Debian keeps them: the upstream ones
# (CHANGELOG.md) and the package's own, one entry per package release.
set(_debian_changelog ${PROJECT_BINARY_DIR}/packaging/changelog.Debian)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.Debian.in ${_debian_changelog} @ONLY)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz ${_debian_changelog}.gz
  COMMAND ${ORDALYN_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/CHANGELOG.md > ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${ORDALYN_GZIP} -9nf ${_debian_changelog} -c > ${_debian_changelog}.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${_debian_changelog}
  COMMENT "Compressing the changelogs")
add_custom_target(ordalyn_changelogs ALL
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz ${_debian_changelog}.gz)
install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz ${_debian_changelog}.gz
        DESTINATION ${ORDALYN_INSTALL_DOCDIR})
# What lintian is told to leave alone, each with its reason.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ordalyn)

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
