# SPDX-License-Identifier: BSD-2-Clause
# The release archive for Windows users, from the files the cross builds made
# and the test command ran under wine:
#   cmake -DVDF=<zolta.vdf> -DPLUGIN64=<64-bit zolta_plugin.dll>
#         -DPLUGIN32=<32-bit zolta_plugin.dll> -DOFX64=<Win64 zolta.ofx.bundle folder>
#         -DOUT=<folder> -P archive.cmake
# writes OUT/zolta-<version>-windows.zip, holding under zolta-<version>-windows/
#   README.md, INSTALL.txt, LICENSE, doc/hosts.md (Windows line ends)
#   win32/zolta.vdf          VirtualDub and AviSynth, 32-bit
#   win32/zolta_plugin.dll   AviSynth+, 32-bit
#   win64/zolta_plugin.dll   VapourSynth and AviSynth+, 64-bit
#   zolta.ofx.bundle/        the OpenFX effect (Resolve, Natron): Contents/Win64/zolta.ofx
#                            and Contents/Resources/org.zolta.denoise.png
# The version is the C interface's, from include/zolta.h.
cmake_minimum_required(VERSION 3.25)
get_filename_component(source_dir "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
include(${source_dir}/cmake/api-version.cmake)
zolta_read_api_version(${source_dir}/include/zolta.h major minor)
set(name zolta-${major}.${minor}.0-windows)

foreach(input VDF PLUGIN64 PLUGIN32 OFX64)
  if(NOT DEFINED ${input} OR NOT EXISTS "${${input}}")
    message(FATAL_ERROR "${input} names no file (${${input}})")
  endif()
endforeach()
if(NOT DEFINED OUT)
  message(FATAL_ERROR "OUT names no folder")
endif()
get_filename_component(OUT "${OUT}" ABSOLUTE)

set(stage ${OUT}/stage)
file(REMOVE_RECURSE ${stage} ${OUT}/${name}.zip)
file(MAKE_DIRECTORY ${stage}/${name}/win32 ${stage}/${name}/win64)
file(COPY_FILE ${VDF} ${stage}/${name}/win32/zolta.vdf)
file(COPY_FILE ${PLUGIN32} ${stage}/${name}/win32/zolta_plugin.dll)
file(COPY_FILE ${PLUGIN64} ${stage}/${name}/win64/zolta_plugin.dll)
file(MAKE_DIRECTORY ${stage}/${name}/zolta.ofx.bundle/Contents/Win64
     ${stage}/${name}/zolta.ofx.bundle/Contents/Resources)
file(COPY_FILE ${OFX64}/Contents/Win64/zolta.ofx
     ${stage}/${name}/zolta.ofx.bundle/Contents/Win64/zolta.ofx)
file(COPY_FILE ${OFX64}/Contents/Resources/org.zolta.denoise.png
     ${stage}/${name}/zolta.ofx.bundle/Contents/Resources/org.zolta.denoise.png)
# source file|name in the archive
foreach(text README.md|README.md packaging/windows/INSTALL.txt|INSTALL.txt LICENSE|LICENSE
        doc/hosts.md|doc/hosts.md)
  string(REPLACE "|" ";" text "${text}")
  list(GET text 0 text_source)
  list(GET text 1 text_name)
  file(READ ${source_dir}/${text_source} content)
  string(REPLACE "\n" "\r\n" content "${content}")
  file(WRITE ${stage}/${name}/${text_name} "${content}")
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT}/${name}.zip --format=zip ${name}
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot write ${OUT}/${name}.zip")
endif()
file(REMOVE_RECURSE ${stage})
message(STATUS "written: ${OUT}/${name}.zip")
