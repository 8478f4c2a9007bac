// The capitals Windows compares file names by: names match without regard to case when each
// UTF-16 code unit, turned into its capital, matches. Generated from Unicode's simple upper-case
// mappings (tools/windows-upper-case/generate.py says how).
#pragma once

#include <cstdint>
#include <span>

namespace platform {

// The code units first, first + step, ... last, each of which becomes unit + delta.
struct UpperCaseRun {
    char16_t first, last;
    std::uint8_t step;  // 1 or 2: many alphabets alternate capital and small letter
    std::int32_t delta;
};

// Sorted by first; a code unit in none keeps its case.
extern const std::span<const UpperCaseRun> upperCaseRuns;

}  // namespace platform
