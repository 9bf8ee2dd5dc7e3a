# SPDX-License-Identifier: BSD-2-Clause
# Windows test programs run under wine and counted by ctest like any other.
# The Windows toolchain files name scripts/wine-run.sh as the cross-compiling
# emulator, so every test whose command is a target of the build runs through
# it. Those tests need a display and a running wine server:
#
#   zolta_wine_session(FIXTURE PREFIX ARCH)
#     adds the tests FIXTURE.start and FIXTURE.stop, the setup and cleanup of
#     the ctest fixture FIXTURE (scripts/wine-session.sh), for the wine prefix
#     folder PREFIX of architecture ARCH (win32 or win64);
#   zolta_wine_tests(FIXTURE TEST...)
#     makes the tests require the fixture and gives them its environment.
set(ZOLTA_WINE_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/../scripts)

function(zolta_wine_session fixture prefix arch)
  set(state ${CMAKE_BINARY_DIR}/${fixture})
  set(env "WINEPREFIX=${prefix};WINEARCH=${arch}")
  set(session ${ZOLTA_WINE_SCRIPTS}/wine-session.sh)
  add_test(NAME ${fixture}.start COMMAND bash ${session} start ${state})
  add_test(NAME ${fixture}.stop COMMAND bash ${session} stop ${state})
  set_tests_properties(${fixture}.start PROPERTIES FIXTURES_SETUP ${fixture}
                       ENVIRONMENT "${env}" TIMEOUT 600)
  set_tests_properties(${fixture}.stop PROPERTIES FIXTURES_CLEANUP ${fixture}
                       ENVIRONMENT "${env}" TIMEOUT 120)
  set_property(GLOBAL PROPERTY ZOLTA_WINE_ENVIRONMENT_${fixture}
               "${env};ZOLTA_WINE_SESSION=${state}")
endfunction()

function(zolta_wine_tests fixture)
  get_property(env GLOBAL PROPERTY ZOLTA_WINE_ENVIRONMENT_${fixture})
  if(NOT env)
    message(FATAL_ERROR "zolta_wine_tests: no wine session ${fixture}")
  endif()
  set_property(TEST ${ARGN} APPEND PROPERTY FIXTURES_REQUIRED ${fixture})
  set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT "${env}")
endfunction()
