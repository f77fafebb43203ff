# CLI11 (Debian's libcli11-dev), the command-line parser of the tools, for the
# whole tree (CLI11::CLI11). It is header-only. A cross build does not search
# the host's /usr (its headers would shadow the target's): it takes a copy of
# the host's CLI/ folder alone.
find_package(CLI11 CONFIG QUIET)
if(TARGET CLI11::CLI11)
  set_target_properties(CLI11::CLI11 PROPERTIES IMPORTED_GLOBAL TRUE)
else()
  find_path(ORDALYN_CLI11_HOST_DIR CLI/CLI.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  file(COPY ${ORDALYN_CLI11_HOST_DIR}/CLI DESTINATION ${PROJECT_BINARY_DIR}/cli11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
  target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${PROJECT_BINARY_DIR}/cli11)
endif()
