# The packages cpack makes from the install rules (cmake/OrdalynInstall.cmake).
# Debian: `cpack -G DEB` in the build folder (scripts/package does it). Other
# generators get their settings here too, each in its own section.
include(${PROJECT_SOURCE_DIR}/cmake/versioninfo.cmake)
ordalyn_version_values()

set(CPACK_PACKAGE_NAME ordalyn)
set(CPACK_PACKAGE_VENDOR "${ORDALYN_VI_COMPANY_NAME}")
set(CPACK_PACKAGE_CONTACT "${ORDALYN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_HOMEPAGE_URL "${ORDALYN_HOMEPAGE_URL}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "TAPI telephone line monitor writing a millisecond-stamped trace")
# Debian shows the lines as they stand: keep them within 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Ordalyn watches one telephone line through the Windows Telephony API (TAPI)
and writes a readable, millisecond-stamped trace of everything that happens
on it: its own TAPI steps with their result codes in words, every line and
call message, and for call-state and call-information messages the call
handle, caller, called and connected identifiers, origin and reason. It only
monitors: it never answers, places or drops calls.

It runs interactively or in the background (a line number and a file name on
the command line). Away from Windows it runs on a simulated telephony
platform that ships inside it, with scenarios of your own.

The package holds three programs: ordalyn, the monitor with its window;
ordalyn-calls, which reads traces back into calls (a table, CSV, JSON or a
web page with a timeline); and ordalyn-simtrace, which prints a trace of the
simulated platform on virtual time.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# Installed programs carry no debugging information: the Debian generator
# moves it into a package of its own, ordalyn-dbgsym (by build id under
# /usr/lib/debug), which needs the unstripped programs. Without a package of
# symbols (other generators) the programs are stripped.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)

# Reproducible packages: cpack stamps every member with SOURCE_DATE_EPOCH
# (cmake/OrdalynReproducible.cmake), set where cpack reads its configuration.
set(CPACK_ORDALYN_SOURCE_DATE_EPOCH ${ORDALYN_SOURCE_DATE_EPOCH})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/OrdalynCPackProject.cmake)

# Debian: the dependencies are those dpkg-shlibdeps finds in the programs.
set(CPACK_DEBIAN_PACKAGE_NAME ordalyn)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${ORDALYN_DEBIAN_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Windows: the zip and the per-user installer (cmake/OrdalynWindowsPackage.cmake),
# ordalyn-<version>-win64.zip and ordalyn-<version>-win64-setup.exe. The
# installer's script is packaging/windows/NSIS.template.in.
set(CPACK_ORDALYN_FILE_VERSION ${ORDALYN_VI_FILE_VERSION})
set(CPACK_ORDALYN_COPYRIGHT "${ORDALYN_VI_LEGAL_COPYRIGHT}")
set(CPACK_NSIS_PACKAGE_NAME "${ORDALYN_VI_PRODUCT_NAME}")
list(PREPEND CMAKE_MODULE_PATH ${PROJECT_SOURCE_DIR}/packaging/windows)

if(WIN32)
  set(CPACK_GENERATOR ZIP NSIS64)
  set(CPACK_PACKAGE_FILE_NAME ordalyn-${ORDALYN_VI_PRODUCT_VERSION}-win64)
  set(CPACK_PACKAGE_INSTALL_DIRECTORY Ordalyn)
else()
  set(CPACK_GENERATOR DEB)
endif()

include(CPack)
