#pragma once
// An invariant of a fuzz target: on failure, says which one and stops the run so that
// libFuzzer keeps the input as a finding.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                     \
  do {                                                                            \
    if (!(condition)) {                                                           \
      std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", #condition, __FILE__, \
                   __LINE__);                                                     \
      std::abort();                                                               \
    }                                                                             \
  } while (false)
