# The Windows packages (target ordalyn_windows_package): a zip,
# ordalyn-<version>-win64.zip, and an installer made by NSIS,
# ordalyn-<version>-win64-setup.exe, both in <build>/package. Each holds the
# stripped executable, a short README, the licences of everything linked into
# it and the example scenarios.
ordalyn_version_values()
set(_pkg_name ordalyn-${ORDALYN_VI_PRODUCT_VERSION}-win64)
set(_pkg_dir ${PROJECT_BINARY_DIR}/package)
set(_stage ${_pkg_dir}/${_pkg_name})

# Where the licence texts come from: scripts/qt-windows copies Qt's into the
# Qt tree; the compilers' runtime licences are Debian's.
get_filename_component(_qt_prefix "${Qt6_DIR}/../../.." ABSOLUTE)
set(_qt_licenses ${_qt_prefix}/licenses)
foreach(_needed ${_qt_licenses}/LGPL-3.0-only.txt ${_qt_licenses}/GPL-3.0-only.txt ${_qt_licenses}/copyright)
  if(NOT EXISTS ${_needed})
    message(WARNING "The Windows package needs ${_needed} (scripts/qt-windows puts it there)")
  endif()
endforeach()
execute_process(COMMAND dpkg-query -W -f=\${Version} qt6-base-dev OUTPUT_VARIABLE ORDALYN_QT_VERSION
                ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
set(ORDALYN_VERSION ${ORDALYN_VI_FILE_VERSION})
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt ${_pkg_dir}/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${_pkg_dir}/LICENSE.txt COPYONLY)

find_program(ORDALYN_MAKENSIS makensis)
set(_strip ${CMAKE_STRIP})
if(NOT _strip)
  set(_strip x86_64-w64-mingw32-strip)
endif()

set(_zip ${_pkg_dir}/${_pkg_name}.zip)
set(_setup ${_pkg_dir}/${_pkg_name}-setup.exe)
set(_commands
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${_stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_stage}/licenses ${_stage}/examples
  COMMAND ${_strip} -o ${_stage}/ordalyn.exe $<TARGET_FILE:ordalyn>
  COMMAND ${CMAKE_COMMAND} -E copy ${_pkg_dir}/README.txt ${_pkg_dir}/LICENSE.txt ${_stage}
  COMMAND ${CMAKE_COMMAND} -E copy ${_qt_licenses}/LGPL-3.0-only.txt ${_qt_licenses}/GPL-3.0-only.txt
          ${_stage}/licenses
  COMMAND ${CMAKE_COMMAND} -E copy ${_qt_licenses}/copyright ${_stage}/licenses/Qt-copyright.txt
  COMMAND ${CMAKE_COMMAND} -E copy /usr/share/doc/gcc-mingw-w64-base/copyright
          ${_stage}/licenses/mingw-w64-runtime-copyright.txt
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/examples ${_stage}/examples
  COMMAND ${CMAKE_COMMAND} -E rm -f ${_zip}
  COMMAND ${CMAKE_COMMAND} -E chdir ${_pkg_dir} ${CMAKE_COMMAND} -E tar cf ${_zip} --format=zip ${_pkg_name})
set(_outputs ${_zip})
if(ORDALYN_MAKENSIS)
  list(APPEND _commands
    COMMAND ${ORDALYN_MAKENSIS} -V2 -DVERSION=${ORDALYN_VI_FILE_VERSION} -DSTAGE=${_stage} -DOUTFILE=${_setup}
            ${PROJECT_SOURCE_DIR}/packaging/windows/ordalyn.nsi)
  list(APPEND _outputs ${_setup})
else()
  message(STATUS "makensis not found: the Windows package is the zip alone")
endif()
add_custom_command(OUTPUT ${_outputs} ${_commands}
  DEPENDS ordalyn ${PROJECT_SOURCE_DIR}/packaging/windows/ordalyn.nsi ${_pkg_dir}/README.txt
  COMMENT "Making the Windows packages in ${_pkg_dir}"
  VERBATIM)
add_custom_target(ordalyn_windows_package DEPENDS ${_outputs})
