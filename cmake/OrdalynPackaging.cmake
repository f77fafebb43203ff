# The packages cpack makes from the install rules (cmake/OrdalynInstall.cmake).
# Debian: `cpack -G DEB` in the build folder (scripts/package does it). Other
# generators get their settings here too, each in its own section.
include(${PROJECT_SOURCE_DIR}/cmake/versioninfo.cmake)
ordalyn_version_values()

set(CPACK_PACKAGE_NAME ordalyn)
set(CPACK_PACKAGE_VENDOR "${ORDALYN_VI_COMPANY_NAME}")
set(CPACK_PACKAGE_CONTACT "${ORDALYN_VI_COMPANY_NAME}")
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
platform that ships inside it, with scenarios of your own; ordalyn-simtrace
prints a trace of that platform on virtual time.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# Installed programs carry no debugging information.
set(CPACK_STRIP_FILES ON)

# Debian: the dependencies are those dpkg-shlibdeps finds in the programs.
set(CPACK_DEBIAN_PACKAGE_NAME ordalyn)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

if(NOT WIN32)
  set(CPACK_GENERATOR DEB)
endif()

include(CPack)
