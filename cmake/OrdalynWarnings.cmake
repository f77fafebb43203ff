# Warnings are errors in everything the project compiles itself. A distribution
# that builds with a newer compiler than the project was tried with can turn
# that off: -DORDALYN_WERROR=OFF keeps the warnings and lets the build go on.
option(ORDALYN_WERROR "Treat compiler warnings as errors" ON)

function(ordalyn_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${ORDALYN_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                                             $<$<BOOL:${ORDALYN_WERROR}>:-Werror>)
    # g++ judges these two by what its optimiser inlined, and at -O3 (Release)
    # g++ 12 reports them falsely inside libstdc++'s strings ("literal" +
    # std::string, a string in an aggregate): they stay warnings, so that a
    # Release build goes through.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_compile_options(${target} PRIVATE -Wno-error=restrict -Wno-error=maybe-uninitialized)
    endif()
  endif()
endfunction()
