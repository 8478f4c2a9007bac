// The look-alikes Windows' conversion to code page 1252 picks, best fit on, for characters the code
// page lacks: U+0100 reads 'A', U+2212 (minus) '-', U+2003 (em space) ' ', U+FF10 (fullwidth zero)
// '0'. The ANSI profile calls hand back text converted so. The table is generated from what the
// conversion does under Wine (compat/ansi_best_fit.cpp says how), whose own table is built from the
// best-fit table Microsoft publishes for the code page.
#pragma once

#include <span>

namespace platform {

struct AnsiLookAlike {
    char16_t codeUnit;
    unsigned char byte;
};

// Sorted by code unit; no code unit the code page holds, none that becomes '?'.
extern const std::span<const AnsiLookAlike> ansiLookAlikes;

}  // namespace platform
