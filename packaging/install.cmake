# SPDX-License-Identifier: BSD-2-Clause
# What `cmake --install` puts where (GNUInstallDirs; prefix and DESTDIR as
# usual):
#   lib/            libzolta.so.1.0.0, its soname link libzolta.so.1 and the
#                   development link libzolta.so
#   lib/pkgconfig/  zolta.pc
#   lib/cmake/zolta the CMake package: find_package(zolta 1.0), target zolta::zolta
#   include/        zolta.h
#   bin/            zolta-run
#   share/man/man1  zolta-run.1
#   share/zolta/    the demo's photograph
#   lib/vapoursynth/, lib/avisynth/
#                   the plugin module, where VapourSynth and AviSynth+ load
#                   plugins from at start-up: the file in the first, a
#                   relative link to it in the second
include(CMakePackageConfigHelpers)

set(ZOLTA_INSTALL_VAPOURSYNTH_DIR "${CMAKE_INSTALL_LIBDIR}/vapoursynth" CACHE STRING
    "Folder, under the prefix, of the plugin module for VapourSynth")
set(ZOLTA_INSTALL_AVISYNTH_DIR "${CMAKE_INSTALL_LIBDIR}/avisynth" CACHE STRING
    "Folder, under the prefix, of the link to the plugin module for AviSynth+")
set(ZOLTA_INSTALL_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/zolta")

# The library and its header.
install(TARGETS zolta EXPORT zolta-targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development)
install(FILES ${PROJECT_SOURCE_DIR}/include/zolta.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# pkg-config: written when installing, so that a prefix given to
# `cmake --install --prefix` is the one the file names.
set(pc_template ${PROJECT_SOURCE_DIR}/packaging/zolta.pc.in)
set(pc_file ${PROJECT_BINARY_DIR}/packaging/zolta.pc)
install(CODE "
  set(ZOLTA_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(ZOLTA_PC_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(ZOLTA_PC_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(ZOLTA_PC_VERSION \"${PROJECT_VERSION}\")
  configure_file(\"${pc_template}\" \"${pc_file}\" @ONLY)
")
install(FILES ${pc_file} DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The CMake package: zolta::zolta and a version file (same major version).
install(EXPORT zolta-targets NAMESPACE zolta:: DESTINATION ${ZOLTA_INSTALL_CMAKE_DIR}
        FILE zolta-targets.cmake)
configure_package_config_file(${PROJECT_SOURCE_DIR}/packaging/zolta-config.cmake.in
                              ${PROJECT_BINARY_DIR}/packaging/zolta-config.cmake
                              INSTALL_DESTINATION ${ZOLTA_INSTALL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/packaging/zolta-config-version.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/packaging/zolta-config.cmake
              ${PROJECT_BINARY_DIR}/packaging/zolta-config-version.cmake
        DESTINATION ${ZOLTA_INSTALL_CMAKE_DIR})

# zolta-run, its manual and the demo's photograph.
if(TARGET zolta-run)
  install(TARGETS zolta-run RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  configure_file(${PROJECT_SOURCE_DIR}/doc/zolta-run.1.in ${PROJECT_BINARY_DIR}/packaging/zolta-run.1
                 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/zolta-run.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/data/astronaut.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/zolta)
endif()

# The plugin module: one file, found by both hosts.
install(TARGETS zolta_plugin LIBRARY DESTINATION ${ZOLTA_INSTALL_VAPOURSYNTH_DIR})
if(NOT ZOLTA_INSTALL_AVISYNTH_DIR STREQUAL ZOLTA_INSTALL_VAPOURSYNTH_DIR)
  set(plugin_name ${CMAKE_SHARED_LIBRARY_PREFIX}zolta_plugin${CMAKE_SHARED_LIBRARY_SUFFIX})
  file(RELATIVE_PATH plugin_from_avisynth /${ZOLTA_INSTALL_AVISYNTH_DIR}
       /${ZOLTA_INSTALL_VAPOURSYNTH_DIR}/${plugin_name})
  set(plugin_link ${PROJECT_BINARY_DIR}/packaging/avisynth/${plugin_name})
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/packaging/avisynth)
  file(CREATE_LINK ${plugin_from_avisynth} ${plugin_link} SYMBOLIC)
  install(FILES ${plugin_link} DESTINATION ${ZOLTA_INSTALL_AVISYNTH_DIR})
endif()
