# SPDX-License-Identifier: BSD-2-Clause
cmake_minimum_required(VERSION 3.25)
# The Windows release archive unpacked and checked: exactly the expected
# files, its DLLs byte for byte the ones given (those the wine tests ran),
# INSTALL.txt naming each of them, LICENSE the source tree's, and each DLL's
# exports and imports (check_exports.cmake: exactly its entries, system
# libraries only).
#   cmake -DARCHIVE=<zip> -DVDF=<zolta.vdf> -DPLUGIN64=<dll> -DPLUGIN32=<dll> -DOFX64=<bundle>
#         -DOBJDUMP32=<i686 objdump> -DOBJDUMP64=<x86-64 objdump> -P windows_archive.cmake
get_filename_component(ARCHIVE "${ARCHIVE}" ABSOLUTE)
get_filename_component(name ${ARCHIVE} NAME_WLE)
get_filename_component(dir ${ARCHIVE} DIRECTORY)
set(unpacked ${dir}/unpacked)
file(REMOVE_RECURSE ${unpacked})
file(MAKE_DIRECTORY ${unpacked})
file(ARCHIVE_EXTRACT INPUT ${ARCHIVE} DESTINATION ${unpacked})

file(GLOB_RECURSE found RELATIVE ${unpacked} ${unpacked}/*)
list(SORT found)
set(expected ${name}/INSTALL.txt ${name}/LICENSE ${name}/README.md ${name}/doc/hosts.md
    ${name}/win32/zolta.vdf
    ${name}/win32/zolta_plugin.dll ${name}/win64/zolta_plugin.dll
    ${name}/zolta.ofx.bundle/Contents/Resources/org.zolta.denoise.png
    ${name}/zolta.ofx.bundle/Contents/Win64/zolta.ofx)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "${ARCHIVE} holds [${found}], expected [${expected}]")
endif()

# The licence, whole.
file(READ ${unpacked}/${name}/LICENSE licence)
file(READ ${CMAKE_CURRENT_LIST_DIR}/../../LICENSE source_licence)
string(REPLACE "\r" "" licence "${licence}")
if(NOT licence STREQUAL source_licence)
  message(FATAL_ERROR "LICENSE in the archive is not the source tree's")
endif()

# name in the archive; file that was tested; objdump; exports
set(dlls
    "win32/zolta.vdf|${VDF}|${OBJDUMP32}|VirtualdubFilterModuleInit2,VirtualdubFilterModuleDeinit,_AvisynthPluginInit@4"
    "win32/zolta_plugin.dll|${PLUGIN32}|${OBJDUMP32}|_avisynth_c_plugin_init2@4,_avisynth_c_plugin_init@4"
    "win64/zolta_plugin.dll|${PLUGIN64}|${OBJDUMP64}|VapourSynthPluginInit2,avisynth_c_plugin_init2,avisynth_c_plugin_init"
    "zolta.ofx.bundle/Contents/Win64/zolta.ofx|${OFX64}/Contents/Win64/zolta.ofx|${OBJDUMP64}|OfxGetNumberOfPlugins,OfxGetPlugin")
file(READ ${unpacked}/${name}/INSTALL.txt install_text)
foreach(entry IN LISTS dlls)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 inside)
  list(GET parts 1 tested)
  list(GET parts 2 objdump)
  list(GET parts 3 exports)
  file(SHA256 ${unpacked}/${name}/${inside} got)
  file(SHA256 ${tested} want)
  if(NOT got STREQUAL want)
    message(FATAL_ERROR "${inside} in the archive is not ${tested}")
  endif()
  string(REPLACE "/" "\\" windows_name "${inside}")
  string(FIND "${install_text}" "${windows_name}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "INSTALL.txt does not name ${windows_name}")
  endif()
  string(REPLACE "," ";" exports "${exports}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DFORMAT=pe -DTOOL=${objdump}
                          -DLIBRARY=${unpacked}/${name}/${inside} "-DEXPECTED=${exports}"
                          -P ${CMAKE_CURRENT_LIST_DIR}/../plugin/check_exports.cmake
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${inside}: ${out}")
  endif()
  string(REGEX REPLACE "-- " "" out "${out}")
  string(REPLACE "\n" "; " out "${out}")
  message(STATUS "${inside}: ${out}")
endforeach()
file(REMOVE_RECURSE ${unpacked})
message(STATUS "${ARCHIVE}: every file in place, the tested DLLs, their exports and imports")
