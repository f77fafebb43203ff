# GoogleTest: the system package natively; built from Debian's sources in a cross build.
if(CMAKE_CROSSCOMPILING)
  if(NOT TARGET GTest::gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # GoogleTest 1.11 and later name their targets GTest::gtest themselves.
    if(NOT TARGET GTest::gtest)
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
  endif()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# ordalyn_add_gtest(name SOURCES ... LIBS ...): one test executable, its cases listed in ctest.
function(ordalyn_add_gtest name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  ordalyn_warnings(${name})
  # The tests' shared helpers (support/scratchdir.h, ...).
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  if(ARG_QT)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} ordalyn_qt_test_main Qt6::Test GTest::gtest)
    ordalyn_qt_plugins(${name})
  else()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  endif()
  # On Windows the labels read the running executable's version resource.
  ordalyn_add_version_resource(${name})
  ordalyn_register_gtest(${name} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# ordalyn_register_gtest(target [ENVIRONMENT ...] [other test properties]):
# natively every case is a test of its own in ctest. In a cross build each
# executable is one test: every start under the emulator (wine) costs
# seconds, and a failing case still shows in the executable's output.
function(ordalyn_register_gtest target)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
    if(ARGN)
      set_tests_properties(${target} PROPERTIES ${ARGN})
    endif()
  else()
    gtest_discover_tests(${target} PROPERTIES ${ARGN} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
