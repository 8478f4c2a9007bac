// chained_hook.dll: another plug-in that hooks the game's frame call the careful way: it keeps
// the call it found and jumps on to it from its own thunk, counts its frames, and at unload puts
// the call back, unless someone has hooked the call after it (then the call is theirs to keep).
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "entry/near_call.h"
#include "host/game_addresses.h"

extern "C" {
__declspec(dllexport) volatile std::uint32_t chainedHookCalls = 0;
std::uint32_t chainedTarget = 0;
void chainedThunk();
}

extern "C" __attribute__((naked)) void chainedThunk() {
    asm(R"(
    lock incl _chainedHookCalls
    jmp *_chainedTarget
)");
}

namespace {

NearCall found;

void writeCall(const NearCall& call) {
    auto* site = reinterpret_cast<void*>(gameAddress::frameCallSite);
    DWORD previous = 0;
    VirtualProtect(site, NearCall::length, PAGE_EXECUTE_READWRITE, &previous);
    std::memcpy(site, call.bytes.data(), NearCall::length);
    VirtualProtect(site, NearCall::length, previous, &previous);
    FlushInstructionCache(GetCurrentProcess(), site, NearCall::length);
}

NearCall ourCall() {
    return NearCall::to(gameAddress::frameCallSite, reinterpret_cast<std::uint32_t>(&chainedThunk));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    auto* site = reinterpret_cast<const void*>(gameAddress::frameCallSite);
    if (reason == DLL_PROCESS_ATTACH) {
        std::memcpy(found.bytes.data(), site, NearCall::length);
        chainedTarget = found.target(gameAddress::frameCallSite);
        writeCall(ourCall());
    } else if (reason == DLL_PROCESS_DETACH &&
               std::memcmp(site, ourCall().bytes.data(), NearCall::length) == 0) {
        writeCall(found);
    }
    return TRUE;
}
