#include "tests/unit/platform/windows_stack_reset.h"

#include <windows.h>

#include <cstdint>

char* stackBottom() {
    MEMORY_BASIC_INFORMATION stack{};
    VirtualQuery(&stack, &stack, sizeof stack);
    return static_cast<char*>(stack.AllocationBase);
}

std::size_t pageSize() {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    return system.dwPageSize;
}

extern "C" int windowsResetStackOverflow() {
    const std::uintptr_t page = pageSize();
    const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    const std::uintptr_t guard = (here & ~(page - 1)) - page;
    if (guard < reinterpret_cast<std::uintptr_t>(stackBottom()) + 2 * page) return 0;
    void* at = reinterpret_cast<void*>(guard);
    DWORD previous = 0;
    if (VirtualAlloc(at, page, MEM_COMMIT, PAGE_READWRITE) == nullptr) return 0;
    return VirtualProtect(at, page, PAGE_READWRITE | PAGE_GUARD, &previous) ? 1 : 0;
}
