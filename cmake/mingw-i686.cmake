# Cross build for 32-bit Windows with Debian's mingw-w64 toolchain
# (packages g++-mingw-w64-i686 and binutils-mingw-w64-i686):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(ZOLTA_MINGW_PREFIX i686-w64-mingw32)

# Debian ships the compilers in two flavours; the win32 thread model needs no
# winpthread runtime, so prefer it when both are installed. The posix one
# (-DZOLTA_MINGW_THREADS=posix) has std::thread and std::mutex, which
# GoogleTest needs; linked statically, it adds no import.
if(NOT ZOLTA_MINGW_THREADS)
  set(ZOLTA_MINGW_THREADS win32)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZOLTA_MINGW_THREADS)
find_program(ZOLTA_MINGW_CC
             NAMES ${ZOLTA_MINGW_PREFIX}-gcc-${ZOLTA_MINGW_THREADS} ${ZOLTA_MINGW_PREFIX}-gcc
             REQUIRED)
find_program(ZOLTA_MINGW_CXX
             NAMES ${ZOLTA_MINGW_PREFIX}-g++-${ZOLTA_MINGW_THREADS} ${ZOLTA_MINGW_PREFIX}-g++
             REQUIRED)
set(CMAKE_C_COMPILER ${ZOLTA_MINGW_CC})
set(CMAKE_CXX_COMPILER ${ZOLTA_MINGW_CXX})
set(CMAKE_RC_COMPILER ${ZOLTA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZOLTA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs built here run under wine (see cmake/wine-tests.cmake).
get_filename_component(ZOLTA_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZOLTA_WINE_RUN})
