# SPDX-License-Identifier: BSD-2-Clause
# libFuzzer targets and their bounded, seeded passes (clang only). Every pass
# starts from the checked-in corpus alone, so it is the same pass each time;
# new inputs go to a folder in the build tree, never into the source tree.

# zolta_fuzz_target(TARGET source...): an executable built with the fuzzer.
function(zolta_fuzz_target target)
  add_executable(${target} ${ARGN})
  target_compile_options(${target} PRIVATE -fsanitize=fuzzer)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
endfunction()

# zolta_fuzz_pass(TARGET CORPUS_DIR RUNS MAX_LEN INPUT_TIMEOUT TEST_TIMEOUT [RSS_LIMIT_MB]):
# the tests TARGET_fresh_corpus (empties the work folder) and TARGET_pass.
function(zolta_fuzz_pass target corpus runs max_len input_timeout test_timeout)
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${target}-corpus-work)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_fresh_corpus.cmake)
  file(CONFIGURE OUTPUT ${script}
       CONTENT "file(REMOVE_RECURSE \"${work}\")\nfile(MAKE_DIRECTORY \"${work}\")\n")
  add_test(NAME ${target}_fresh_corpus COMMAND ${CMAKE_COMMAND} -P ${script})
  set_tests_properties(${target}_fresh_corpus PROPERTIES FIXTURES_SETUP ${target}_corpus)
  set(limits)
  if(ARGC GREATER 6)
    set(limits -rss_limit_mb=${ARGV6})
  endif()
  add_test(NAME ${target}_pass
           COMMAND ${target} -seed=1 -runs=${runs} -max_len=${max_len} -timeout=${input_timeout}
                   ${limits} ${work} ${corpus})
  set_tests_properties(${target}_pass PROPERTIES TIMEOUT ${test_timeout}
                       FIXTURES_REQUIRED ${target}_corpus)
endfunction()
