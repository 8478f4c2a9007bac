#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>

void propertyFailed(const std::string& what) {
    std::fprintf(stderr, "property failed: %s\n", what.c_str());
    std::abort();
}
