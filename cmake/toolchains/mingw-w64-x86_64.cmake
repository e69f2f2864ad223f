# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix: the
# posix thread model, which std::thread needs). Everything is linked statically, so the
# executables need no DLL beside them other than Windows' own.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
#
# Tests run under Wine (wine64) through CMAKE_CROSSCOMPILING_EMULATOR; source scripts/wine-env
# first so that the prefix exists and has booted.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KV218_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KV218_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KV218_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KV218_MINGW_PREFIX}-windres)

# Look for libraries and headers only in the MinGW tree, programs only on the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KV218_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Debian installs the Wine loader outside PATH.
find_program(KV218_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KV218_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KV218_WINE})
endif()
