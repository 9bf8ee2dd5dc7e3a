# SPDX-License-Identifier: BSD-2-Clause
# What the two mingw-w64 toolchain files share; each sets ZOLTA_MINGW_PREFIX
# (the target triple of Debian's packages) first.
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
