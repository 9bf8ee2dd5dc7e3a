# SPDX-License-Identifier: BSD-2-Clause
# The checks of the Windows build, as ctest tests (all named win32.*):
#   win32.session.start/stop  the virtual display and wine server (a fixture)
#   win32.native_digests      reference frame digests from a native build of the
#                             same source (-DZOLTA_NATIVE_BUILD=DIR, built)
#   win32.no_x87              no x87 arithmetic in the library's own code
#   win32.<Suite>.<Test>      each test of zolta-win32-tests.exe, in its own Win32
#                             process under wine
# Files the run writes (settings files, the dialog screenshot dialog.png, the
# native digests) go to win32-test/ in the build folder.
set(win32_out ${CMAKE_BINARY_DIR}/win32-test)
file(MAKE_DIRECTORY ${win32_out})

zolta_wine_session(win32.session ${CMAKE_BINARY_DIR}/wineprefix win32)

set(ZOLTA_NATIVE_BUILD "" CACHE PATH
    "Native release build of the same source, built, that the Windows frames are compared with")
if(ZOLTA_NATIVE_BUILD)
  add_test(NAME win32.native_digests
           COMMAND ${ZOLTA_NATIVE_BUILD}/zolta-digests
                   --library ${ZOLTA_NATIVE_BUILD}/libzolta_legacy.so
                   --photo ${PROJECT_SOURCE_DIR}/data/astronaut.png
                   --write-picture ${win32_out}/astronaut.rgb32 --work ${win32_out}
                   --output ${win32_out}/native-digests.txt)
else()
  add_test(NAME win32.native_digests
           COMMAND bash -c "echo 'no native build to compare with: configure with -DZOLTA_NATIVE_BUILD=DIR'; exit 1")
endif()
set_tests_properties(win32.native_digests PROPERTIES FIXTURES_SETUP win32.digests TIMEOUT 300)

# The library's own code: the faces' static libraries and every static
# library of this project they link, whatever the folders make of them.
set(own_archives "")
set(pending zolta_vdub zolta_avs)
while(pending)
  list(POP_FRONT pending lib)
  if(NOT TARGET ${lib} OR lib IN_LIST own_archives)
    continue()
  endif()
  get_target_property(type ${lib} TYPE)
  if(NOT type STREQUAL "STATIC_LIBRARY")
    continue()
  endif()
  list(APPEND own_archives ${lib})
  get_target_property(deps ${lib} LINK_LIBRARIES)
  if(deps)
    list(APPEND pending ${deps})
  endif()
endwhile()
set(own_archive_files "")
foreach(lib ${own_archives})
  list(APPEND own_archive_files $<TARGET_FILE:${lib}>)
endforeach()
add_test(NAME win32.no_x87
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/no_x87.sh ${CMAKE_OBJDUMP} ${own_archive_files})

# Paths handed to the Windows program are relative to the build folder, where
# it runs, so that they mean the same on both sides of wine.
file(RELATIVE_PATH win32_def ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR}/plugins/vdf/zolta.def)
gtest_add_tests(TARGET zolta-win32-tests SOURCES ${win32_test_sources} TEST_PREFIX win32.
                WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
                EXTRA_ARGS --out win32-test --def ${win32_def}
                           --digests win32-test/native-digests.txt
                           --picture win32-test/astronaut.rgb32
                TEST_LIST win32_program_tests)
zolta_wine_tests(win32.session ${win32_program_tests})
# The emulator's own bound ends a hung program before ctest's does.
set_tests_properties(${win32_program_tests} PROPERTIES TIMEOUT 120)
set_property(TEST ${win32_program_tests} APPEND PROPERTY ENVIRONMENT ZOLTA_WINE_TIMEOUT=100)
set_property(TEST win32.Frames.BitIdenticalToTheNativeBuild APPEND PROPERTY FIXTURES_REQUIRED
             win32.digests)
# The dialogs take the focus of the one display: one at a time.
set_tests_properties(win32.Dialog.UsedWithTheMouseAndKeyboardThenCancelled
                     win32.Dialog.ReopenedClosedByOkEscapeAndTheCloseBoxAndWithoutPreview
                     win32.Dialog.OpensAndWorksForAHostThatNamesNoModule
                     PROPERTIES RESOURCE_LOCK win32.display)
