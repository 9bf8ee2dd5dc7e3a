# GoogleTest built from Debian's source package (googletest, in
# /usr/src/googletest) for a cross build, where no prebuilt library of the
# target exists. Gives the same targets as find_package(GTest). With MinGW it
# needs the posix thread model (ZOLTA_MINGW_THREADS=posix in the toolchain).
set(ZOLTA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${ZOLTA_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(t gtest gtest_main)
  if(TARGET ${t} AND NOT TARGET GTest::${t})
    add_library(GTest::${t} ALIAS ${t})
  endif()
endforeach()
if(WIN32)
  foreach(t gtest gtest_main)
    target_link_options(${t} INTERFACE -static -static-libgcc -static-libstdc++)
  endforeach()
endif()
