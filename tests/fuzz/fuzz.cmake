# Included by the root CMakeLists.txt when clang++ is found and TOVANEL_FUZZ
# is on. Builds tests/fuzz/project with clang into build/fuzz and registers
# short libFuzzer runs as ctest tests. Expects TOVANEL_CLANGXX and
# TOVANEL_RES_DIR.

set(TOVANEL_FUZZ_SECONDS 15 CACHE STRING "How long ctest runs each fuzz target, in seconds")

# clang without its fuzzer runtime cannot link the targets: check once and
# leave the fuzzers out (with a note) rather than break the whole build.
if(NOT DEFINED TOVANEL_FUZZ_LINKS)
  set(probe_dir ${CMAKE_BINARY_DIR}/CMakeFiles/tovanel_fuzz_probe)
  file(WRITE ${probe_dir}/probe.cpp
       "#include <cstddef>\n#include <cstdint>\n"
       "extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n")
  execute_process(
    COMMAND ${TOVANEL_CLANGXX} -fsanitize=fuzzer,address,undefined probe.cpp -o probe
    WORKING_DIRECTORY ${probe_dir}
    RESULT_VARIABLE probe_result OUTPUT_QUIET ERROR_QUIET)
  if(probe_result EQUAL 0)
    set(TOVANEL_FUZZ_LINKS ON CACHE INTERNAL "clang++ links libFuzzer targets")
  else()
    set(TOVANEL_FUZZ_LINKS OFF CACHE INTERNAL "clang++ links libFuzzer targets")
  endif()
endif()

if(NOT TOVANEL_FUZZ_LINKS)
  message(STATUS "Fuzz targets left out: ${TOVANEL_CLANGXX} cannot link -fsanitize=fuzzer "
                 "(install libclang-rt-dev)")
  return()
endif()

include(ExternalProject)

set(TOVANEL_FUZZ_BIN ${CMAKE_BINARY_DIR}/fuzz)

# BUILD_ALWAYS only re-runs the inner build tool, which does nothing when no
# source changed; without it edits to the code under test would be missed.
ExternalProject_Add(tovanel_fuzz
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tests/fuzz/project
  BINARY_DIR ${TOVANEL_FUZZ_BIN}
  PREFIX ${TOVANEL_FUZZ_BIN}/ep
  CMAKE_ARGS -DCMAKE_CXX_COMPILER=${TOVANEL_CLANGXX} -DCMAKE_BUILD_TYPE=RelWithDebInfo
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS
    ${TOVANEL_FUZZ_BIN}/tovanel-fuzz-decoder
    ${TOVANEL_FUZZ_BIN}/tovanel-fuzz-article
    ${TOVANEL_FUZZ_BIN}/tovanel-fuzz-seeds)

# The walker's seeds are decoded from the packed resources at test time.
add_test(NAME fuzz_seeds
  COMMAND ${TOVANEL_FUZZ_BIN}/tovanel-fuzz-seeds ${TOVANEL_RES_DIR} ${TOVANEL_FUZZ_BIN})
set_tests_properties(fuzz_seeds PROPERTIES FIXTURES_SETUP tovanel_fuzz_seeds)

# tovanel_fuzz_test(NAME TARGET SEED_DIR): a bounded run that keeps what it
# finds in build/fuzz/corpus/NAME and any crashing input in build/fuzz/artifacts.
function(tovanel_fuzz_test name target seeds)
  add_test(NAME fuzz_${name}
    COMMAND ${TOVANEL_FUZZ_BIN}/${target}
      -max_total_time=${TOVANEL_FUZZ_SECONDS} -seed=1 -timeout=10 -print_final_stats=1
      -artifact_prefix=${TOVANEL_FUZZ_BIN}/artifacts/${name}-
      ${TOVANEL_FUZZ_BIN}/corpus/${name} ${seeds}
    WORKING_DIRECTORY ${TOVANEL_FUZZ_BIN})
  math(EXPR limit "${TOVANEL_FUZZ_SECONDS} * 4 + 60")
  set_tests_properties(fuzz_${name} PROPERTIES
    FIXTURES_REQUIRED tovanel_fuzz_seeds
    TIMEOUT ${limit}
    ENVIRONMENT "UBSAN_OPTIONS=print_stacktrace=1")
endfunction()

tovanel_fuzz_test(decoder tovanel-fuzz-decoder ${TOVANEL_RES_DIR})
tovanel_fuzz_test(article tovanel-fuzz-article ${TOVANEL_FUZZ_BIN}/seeds/article)
