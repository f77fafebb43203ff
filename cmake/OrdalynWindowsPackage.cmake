# What the Windows packages hold, as install rules (included by
# cmake/OrdalynInstall.cmake in a Windows build). cpack makes two packages of
# them (settings in cmake/OrdalynPackaging.cmake), both in <build>/package
# when scripts/build-windows runs it: a zip, ordalyn-<version>-win64.zip with
# everything in the folder ordalyn-<version>-win64, and an installer made by
# NSIS, ordalyn-<version>-win64-setup.exe. Both hold the stripped executable,
# a short README, the release notes, the licences of everything linked into
# it and the example scenarios.
ordalyn_version_values()
set(_pkg_dir ${PROJECT_BINARY_DIR}/package)

# Where the licence texts come from: scripts/qt-windows copies Qt's into the
# Qt tree; the compilers' runtime licences are Debian's; packaging/copyright
# records Ordalyn's own and those of the libraries compiled in from headers.
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
configure_file(${PROJECT_SOURCE_DIR}/CHANGELOG.md ${_pkg_dir}/CHANGES.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright ${_pkg_dir}/copyright.txt @ONLY NEWLINE_STYLE CRLF)

install(TARGETS ordalyn RUNTIME DESTINATION .)
install(FILES ${_pkg_dir}/README.txt ${_pkg_dir}/LICENSE.txt ${_pkg_dir}/CHANGES.txt DESTINATION .)
install(FILES ${_qt_licenses}/LGPL-3.0-only.txt ${_qt_licenses}/GPL-3.0-only.txt DESTINATION licenses)
install(FILES ${_qt_licenses}/copyright DESTINATION licenses RENAME Qt-copyright.txt)
install(FILES /usr/share/doc/gcc-mingw-w64-base/copyright
        DESTINATION licenses RENAME mingw-w64-runtime-copyright.txt)
install(FILES ${_pkg_dir}/copyright.txt DESTINATION licenses RENAME Ordalyn-copyright.txt)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION examples)
