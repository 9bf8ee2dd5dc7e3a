# GoogleTest built from Debian's source tree (package googletest) for a cross
# build, whose test programs cannot link the native library. Gives the
# targets GTest::gtest and GTest::gtest_main.
set(ZOLTA_GTEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest source tree for cross builds")
if(NOT TARGET gtest)
  if(NOT EXISTS ${ZOLTA_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest source in ${ZOLTA_GTEST_SOURCE} "
                        "(install the package googletest, or set ZOLTA_GTEST_SOURCE)")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # No winpthread: the win32 thread model of the mingw-w64 toolchain.
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(${ZOLTA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL
                   SYSTEM)
  # The win32 thread model's C++ library has no std::mutex, of which
  # GoogleTest makes its Notification: provide that one on Windows primitives.
  if(MINGW)
    set(notification ${CMAKE_CURRENT_LIST_DIR}/googletest-mingw)
    target_sources(gtest PRIVATE ${notification}/notification.cpp)
    target_compile_options(gtest PUBLIC "SHELL:-include ${notification}/notification.h")
  endif()
endif()
