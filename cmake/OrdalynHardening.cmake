# Hardening for every build, set once for the whole tree (included before any
# target is made, so every program, library, test and benchmark gets it):
#
#   Linux (gcc, clang): position independent executables, a stack protector on
#   every function with arrays or addresses taken, stack clash protection,
#   control-flow protection (CET) where the processor has it, full RELRO with
#   immediate binding, and _FORTIFY_SOURCE (3 where the compiler supports it,
#   else 2) wherever the code is optimised: not in Debug builds, where glibc
#   ignores it with a warning, and not in sanitizer builds, where the fortified
#   functions hide errors from AddressSanitizer.
#   Windows (mingw-w64): ASLR with high-entropy addresses, DEP, and the stack
#   protector when the toolchain links it.
#
# -DORDALYN_HARDENING=OFF turns it all off (for measurements only).
option(ORDALYN_HARDENING "Build with the compiler's and linker's hardening" ON)
if(NOT ORDALYN_HARDENING OR MSVC)
  return()
endif()

include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)
include(CheckPIESupported)

# Whether a program built with these options links (a flag the compiler takes
# but the toolchain cannot link must not break the build).
function(_ordalyn_links_with result)
  set(CMAKE_REQUIRED_FLAGS ${ARGN})
  set(CMAKE_REQUIRED_LINK_OPTIONS ${ARGN})
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles("#include <cstring>
int main(int argc, char**) { char b[64]; std::memset(b, argc, sizeof b); return b[argc]; }" ${result})
endfunction()

if(WIN32)
  add_link_options(LINKER:--dynamicbase LINKER:--high-entropy-va LINKER:--nxcompat)
  _ordalyn_links_with(ORDALYN_HAVE_STACK_PROTECTOR -fstack-protector-strong)
  if(ORDALYN_HAVE_STACK_PROTECTOR)
    add_compile_options(-fstack-protector-strong)
    add_link_options(-fstack-protector-strong)
  endif()
  return()
endif()

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
check_pie_supported(LANGUAGES CXX)

foreach(_flag -fstack-protector-strong -fstack-clash-protection -fcf-protection)
  string(MAKE_C_IDENTIFIER "ORDALYN_HAVE${_flag}" _have)
  check_cxx_compiler_flag(${_flag} ${_have})
  if(${_have})
    add_compile_options(${_flag})
  endif()
endforeach()
add_link_options(LINKER:-z,relro LINKER:-z,now)

set(_sanitized FALSE)
foreach(_flags CMAKE_CXX_FLAGS CMAKE_EXE_LINKER_FLAGS)
  if(${_flags} MATCHES "-fsanitize=")
    set(_sanitized TRUE)
  endif()
endforeach()
if(NOT _sanitized AND NOT ORDALYN_BUILD_FUZZERS)
  set(_fortify 2)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12)
    set(_fortify 3)
  endif()
  # A compiler that sets its own level (Ubuntu's) would otherwise warn about
  # the redefinition.
  add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=${_fortify}>")
endif()
