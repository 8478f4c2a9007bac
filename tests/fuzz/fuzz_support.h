// What the fuzz targets share: the way a target stops on a property that does not hold, and the
// tests' temporary folder for the files they hand to code that reads by path (a target's is
// static, so removed at the end of the run).
#pragma once

#include <string>

#include "tests/support/temp_folder.h"

// Prints what does not hold and aborts, so that libFuzzer keeps the input as a crash.
[[noreturn]] void propertyFailed(const std::string& what);

inline void require(bool holds, const std::string& what) {
    if (!holds) propertyFailed(what);
}
