# Read by cpack for every generator it runs (CPACK_PROJECT_CONFIG_FILE).
#
# The packages' members carry the moment of the source (SOURCE_DATE_EPOCH),
# not the time of the build: cpack's archives honour the variable.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} "${CPACK_ORDALYN_SOURCE_DATE_EPOCH}")
endif()

# The Debian generator keeps the symbols for ordalyn-dbgsym and strips the
# programs itself; the others strip them when they are staged.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_STRIP_FILES OFF)
endif()

# The installer is named as such beside the zip of the same contents.
if(CPACK_GENERATOR STREQUAL "NSIS64")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
