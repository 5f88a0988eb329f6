# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads), run
# under Wine for the tests:
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORN_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ORN_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORN_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ORN_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORN_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program runs on a bare Windows: the compiler's own run-time libraries
# (libstdc++, libgcc, winpthread) are linked in, only system DLLs stay.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and build-time generators run under Wine's 64-bit loader.
find_program(ORN_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT ORN_WINE64)
  find_program(ORN_WINE64 NAMES wine64 wine)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${ORN_WINE64})
