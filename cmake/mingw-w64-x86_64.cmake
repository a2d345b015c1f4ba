# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#     -DKORVANI_FLTK_SOURCE=/path/to/fltk-1.4.5.tar.gz
# The posix flavour, not win32: its C++ library has std::thread and std::mutex, which GoogleTest uses.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORVANI_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORVANI_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVANI_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVANI_MINGW_PREFIX}-windres)
# The build's test programs run under Wine: ctest runs the Windows build's tests as it runs Linux's.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/with-wine)

set(CMAKE_FIND_ROOT_PATH /usr/${KORVANI_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
