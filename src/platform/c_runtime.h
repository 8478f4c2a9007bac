// The C runtime's decimal conversion as the plug-in calls it. On Windows that is msvcrt.dll's own
// strtod, through its import: MinGW links a static strtod of its own in its place, whose
// big-number pool can allocate and whose lock registers an exit handler on its first use, code
// of ours that would then run at the game's exit. Elsewhere the C library's.
#pragma once

#include <cstdlib>

#ifdef _WIN32
extern "C" {
// msvcrt.dll's strtod, by its import address slot (__imp__strtod).
extern double(__cdecl* _imp__strtod)(const char*, char**);
}
#endif

// text's nearest double, as strtod reads it.
inline double runtimeStrtod(const char* text) {
#ifdef _WIN32
    return _imp__strtod(text, nullptr);
#else
    return std::strtod(text, nullptr);
#endif
}
