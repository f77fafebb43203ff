# The product's version information: the one place its values are set. Both the
# header of the portable version store and the Windows VERSIONINFO resource are
# generated from the values below.

# Sets the ORDALYN_VI_* variables in the caller's scope.
macro(ordalyn_version_values)
  set(ORDALYN_VI_COMPANY_NAME "Marbleknot")
  set(ORDALYN_VI_FILE_DESCRIPTION "Ordalyn TAPI line monitor")
  set(ORDALYN_VI_INTERNAL_NAME "Ordalyn")
  set(ORDALYN_VI_LEGAL_COPYRIGHT "Copyright (c) 2026 Marbleknot")
  set(ORDALYN_VI_ORIGINAL_FILENAME "ordalyn.exe")
  set(ORDALYN_VI_PRODUCT_NAME "Ordalyn")
  set(ORDALYN_VI_PRODUCT_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
  set(ORDALYN_VI_VERSION_MAJOR ${PROJECT_VERSION_MAJOR})
  set(ORDALYN_VI_VERSION_MINOR ${PROJECT_VERSION_MINOR})
  set(ORDALYN_VI_VERSION_PATCH ${PROJECT_VERSION_PATCH})
  set(ORDALYN_VI_VERSION_BUILD ${ORDALYN_BUILD_NUMBER})
  set(ORDALYN_VI_FILE_VERSION
      "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${ORDALYN_BUILD_NUMBER}")
  # One string table: US English, Windows code page 1252 (block "040904E4").
  set(ORDALYN_VI_LANGUAGE 0x0409)
  set(ORDALYN_VI_CODE_PAGE 1252)
  # A debug build carries VS_FF_DEBUG; release builds carry no flags.
  if(CMAKE_BUILD_TYPE STREQUAL "Debug")
    set(ORDALYN_VI_FILE_FLAGS 0x1)
  else()
    set(ORDALYN_VI_FILE_FLAGS 0x0)
  endif()

  foreach(_vi_number MAJOR MINOR PATCH BUILD)
    if(NOT ORDALYN_VI_VERSION_${_vi_number} MATCHES "^[0-9]+$" OR ORDALYN_VI_VERSION_${_vi_number} GREATER 65535)
      message(FATAL_ERROR "Version number part ${_vi_number} '${ORDALYN_VI_VERSION_${_vi_number}}' is not 0..65535")
    endif()
  endforeach()
  # The texts go verbatim into C++ and .rc string literals.
  foreach(_vi_text COMPANY_NAME FILE_DESCRIPTION INTERNAL_NAME LEGAL_COPYRIGHT ORIGINAL_FILENAME PRODUCT_NAME
                   PRODUCT_VERSION FILE_VERSION)
    if(ORDALYN_VI_${_vi_text} MATCHES "[\"\\\\]")
      message(FATAL_ERROR "Version text ${_vi_text} must not hold quotes or backslashes")
    endif()
  endforeach()
endmacro()

# Writes the header with the values for the portable store into dir/widgets/.
function(ordalyn_generate_version_header dir)
  ordalyn_version_values()
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/versioninfo_values.h.in
                 ${dir}/widgets/versioninfo_values.h @ONLY)
endfunction()

# Adds the product's VERSIONINFO resource to an executable. Does nothing off Windows.
function(ordalyn_add_version_resource target)
  if(NOT WIN32)
    return()
  endif()
  ordalyn_version_values()
  set(_vi_rc ${PROJECT_BINARY_DIR}/versioninfo/ordalyn_version.rc)
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/versioninfo.rc.in ${_vi_rc} @ONLY)
  target_sources(${target} PRIVATE ${_vi_rc})
endfunction()
