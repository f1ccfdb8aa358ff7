// A check for fuzz targets: a broken invariant stops the run with a message,
// and libFuzzer keeps the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                              \
  do {                                                                                \
    if (!(cond)) {                                                                    \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);   \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)
