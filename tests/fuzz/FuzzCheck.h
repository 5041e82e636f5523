#pragma once
// What the fuzz targets share: a broken property stops the run with the input saved, as a
// crash would.
#include <cstdio>
#include <cstdlib>

#define KORVA_FUZZ_CHECK(condition)                                                                \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition);  \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
