# SPDX-License-Identifier: BSD-2-Clause
# The C interface's version as include/zolta.h declares it
# (ZOLTA_API_VERSION_MAJOR and ZOLTA_API_VERSION_MINOR). The project's version,
# the shared library's soname (libzolta.so.MAJOR) and file name
# (libzolta.so.MAJOR.MINOR.0), the pkg-config and CMake packages and the
# Windows archive all follow it; no other file repeats the numbers.
#   zolta_read_api_version(<header> <major variable> <minor variable>)
function(zolta_read_api_version header major_var minor_var)
  file(STRINGS "${header}" lines REGEX "^#define ZOLTA_API_VERSION_(MAJOR|MINOR) +[0-9]+")
  foreach(line IN LISTS lines)
    if(line MATCHES "^#define ZOLTA_API_VERSION_(MAJOR|MINOR) +([0-9]+)")
      set(found_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
    endif()
  endforeach()
  if(NOT DEFINED found_MAJOR OR NOT DEFINED found_MINOR)
    message(FATAL_ERROR "${header} declares no ZOLTA_API_VERSION_MAJOR and _MINOR")
  endif()
  set(${major_var} ${found_MAJOR} PARENT_SCOPE)
  set(${minor_var} ${found_MINOR} PARENT_SCOPE)
endfunction()
