# The layers, enforced by the compiler: every library publishes only its own
# headers, so a file can include a header only when its target links the
# library that owns it (directly, or through a library that links it PUBLIC).
#
# Each library gets an include folder of its own in the build tree,
# include/<target>/, that holds one small forwarding header for each of its
# headers at the path the code includes ("tapi/tapisession.h"). The forwarding
# header includes the real one by its absolute path, so the compiler reports
# errors at the real file, and the real file's own includes are searched
# beside it first and then in the including target's folders, never in src/
# as a whole. No library puts src/ on an include path.
#
# Sources include project headers by their path from src/ ("util/utools.h"),
# or a header beside them by its bare name ("utools.h"); the check below
# refuses the other forms, which the compiler would find beside the file
# without asking the layers.

set(ORDALYN_LAYERS_DIR ${PROJECT_BINARY_DIR}/include)

# ordalyn_publish_headers(target HEADERS pattern... [EXCLUDE header...]):
# publishes the headers that the patterns (paths under src/, with wildcards,
# such as "tapi/*.h") match, less the excluded ones. A header belongs to one
# library only. An INTERFACE library publishes them to its users alone.
function(ordalyn_publish_headers target)
  cmake_parse_arguments(ARG "" "" "HEADERS;EXCLUDE" ${ARGN})
  set(src ${PROJECT_SOURCE_DIR}/src)
  set(headers)
  foreach(pattern IN LISTS ARG_HEADERS)
    file(GLOB matches RELATIVE ${src} CONFIGURE_DEPENDS ${src}/${pattern})
    if(NOT matches)
      message(FATAL_ERROR "ordalyn_publish_headers(${target}): nothing matches ${pattern}")
    endif()
    list(APPEND headers ${matches})
  endforeach()
  list(REMOVE_ITEM headers ${ARG_EXCLUDE})
  list(REMOVE_DUPLICATES headers)

  set(root ${ORDALYN_LAYERS_DIR}/${target})
  foreach(header IN LISTS headers)
    get_property(owner GLOBAL PROPERTY ORDALYN_HEADER_OWNER_${header})
    if(owner AND NOT owner STREQUAL target)
      message(FATAL_ERROR "${header} is published by ${owner} and ${target}: a header belongs to one library")
    endif()
    set_property(GLOBAL PROPERTY ORDALYN_HEADER_OWNER_${header} ${target})
    # Written only when its text changes, so a new configure rebuilds nothing.
    file(CONFIGURE OUTPUT ${root}/${header} CONTENT "#include \"${src}/${header}\"\n")
  endforeach()
  # A header that left the library must not stay reachable through an old
  # forwarding header.
  file(GLOB_RECURSE published RELATIVE ${root} ${root}/*)
  foreach(old IN LISTS published)
    if(NOT old IN_LIST headers)
      file(REMOVE ${root}/${old})
    endif()
  endforeach()

  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# The include forms the layers cannot see: a path with a folder that exists
# beside the including file ("sim/simtraffic.h" from src/tapi) or one that
# climbs ("../log/tracelog.h") is found there by the compiler, whatever the
# target links. Run at configure time, so such an include fails the build.
function(ordalyn_check_include_forms)
  set(src ${PROJECT_SOURCE_DIR}/src)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${src}/*.h ${src}/*.cpp)
  set(refused)
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
    get_filename_component(dir ${file} DIRECTORY)
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" name "${line}")
      if(name MATCHES "(^|/)\\.\\.?/" OR (name MATCHES "/" AND EXISTS ${dir}/${name}))
        file(RELATIVE_PATH where ${PROJECT_SOURCE_DIR} ${file})
        list(APPEND refused "  ${where}: \"${name}\"")
      endif()
    endforeach()
  endforeach()
  if(refused)
    list(JOIN refused "\n" text)
    message(FATAL_ERROR "Includes that bypass the layers (write the path from src/, such as "
                        "\"tapi/sim/simtraffic.h\"):\n${text}")
  endif()
endfunction()
