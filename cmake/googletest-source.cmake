# SPDX-License-Identifier: BSD-2-Clause
# GoogleTest built from Debian's source tree (package googletest, in
# /usr/src/googletest) for a cross build, whose test programs cannot link the
# native library. Gives the targets GTest::gtest and GTest::gtest_main, as
# find_package(GTest) does. Used by the Win32 harness (tests/win32/program/), the
# Windows builds of zolta-plugin and the ARM64 build of the engine's tests.
set(ZOLTA_GTEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest source tree for cross builds")
if(NOT TARGET gtest)
  if(NOT EXISTS ${ZOLTA_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest source in ${ZOLTA_GTEST_SOURCE} "
                        "(install the package googletest, or set ZOLTA_GTEST_SOURCE)")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  # The win32 thread model of the mingw-w64 toolchain (cmake/mingw-*.cmake,
  # ZOLTA_MINGW_THREADS) has no winpthread and its C++ library no std::mutex:
  # GoogleTest goes without pthreads, and its Notification, which it makes of
  # std::mutex, comes from Windows primitives instead.
  set(zolta_gtest_win32_threads OFF)
  if(MINGW AND ZOLTA_MINGW_THREADS STREQUAL "win32")
    set(zolta_gtest_win32_threads ON)
  endif()
  set(gtest_disable_pthreads ${zolta_gtest_win32_threads} CACHE BOOL "" FORCE)
  add_subdirectory(${ZOLTA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL
                   SYSTEM)
  if(zolta_gtest_win32_threads)
    set(notification ${CMAKE_CURRENT_LIST_DIR}/googletest-mingw)
    target_sources(gtest PRIVATE ${notification}/notification.cpp)
    target_compile_options(gtest PUBLIC "SHELL:-include ${notification}/notification.h")
  endif()
  foreach(t gtest gtest_main)
    if(NOT TARGET GTest::${t})
      add_library(GTest::${t} ALIAS ${t})
    endif()
    # Windows test programs carry their C and C++ runtimes: no DLL to find
    # beside them under wine.
    if(WIN32)
      target_link_options(${t} INTERFACE -static -static-libgcc -static-libstdc++)
    endif()
  endforeach()
endif()
