// _resetstkoflw as Windows' C library behaves, for the guard's tests under Wine, whose own puts a
// guard page on the current stack page and answers 1 whatever happens.
#pragma once

#include <cstddef>

// What the Windows guard calls to put the guard page back (fault_guard_win32.cpp).
extern "C" int (*ostrelleResetStackOverflow)();

// Puts a guard page on the page below the current stack page and answers 1, or answers 0 and puts
// none when that page would lie among the stack's two lowest pages, which the system keeps.
extern "C" int windowsResetStackOverflow();

// The lowest address the current thread's stack may ever use (its allocation base).
char* stackBottom();

// The size of a page.
std::size_t pageSize();
