# Cross build for 64-bit Windows with mingw-w64 (Debian's posix thread variant),
# its test executables run under wine through scripts/wine-run. With the Qt
# that scripts/qt-windows builds, Qt's toolchain file chain-loads this one
# (scripts/build-windows); without Qt, the core alone:
#
#   cmake -S . -B build-win -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake -DORDALYN_BUILD_GUI=OFF
#
# The posix variant is needed: with the win32 thread model libstdc++ has no
# std::mutex, which GoogleTest uses.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORDALYN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORDALYN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORDALYN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ORDALYN_MINGW_PREFIX}-windres)
set(CMAKE_AR ${ORDALYN_MINGW_PREFIX}-ar CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${ORDALYN_MINGW_PREFIX}-ranlib CACHE FILEPATH "Archive indexer")

# Headers and libraries come from the mingw-w64 tree only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${ORDALYN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Executables carry their C and C++ runtime, so wine (or a bare Windows) finds
# everything without the compiler's DLLs on its path.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest starts every Windows executable through wine, with a wine prefix of
# its own inside the build folder (never ~/.wine).
get_filename_component(_ordalyn_wine_run ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${_ordalyn_wine_run} --prefix ${CMAKE_BINARY_DIR}/wineprefix)
