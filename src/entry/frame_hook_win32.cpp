// The frame hook's load-time part, shared by Ostrelle.dll and the drive recorder (see
// frame_hook_win32.h): the redirection of the game's frame call and the pin that keeps the thunk
// mapped. It runs only once the load handler knows the processor has SSE2.
#include "entry/frame_hook_win32.h"

#include <atomic>
#include <cstring>

#include "entry/near_call.h"
#include "host/game_addresses.h"

extern "C" {
std::uint32_t savedFrameTarget = 0;
}

namespace {

// The five bytes of the call are written with one locked store of the aligned eight bytes that
// hold them, 0x4A5DA8..0x4A5DAF: a frame running on another thread meanwhile executes either the
// old call or the new one, never half of each.
constexpr std::uint32_t patchWord = gameAddress::frameCallSite & ~7u;
constexpr std::uint32_t callOffset = gameAddress::frameCallSite - patchWord;
static_assert(callOffset + NearCall::length <= 8, "the call must lie within one aligned 8 bytes");

NearCall callIn(std::uint64_t word) {
    NearCall call;
    std::memcpy(call.bytes.data(), reinterpret_cast<const char*>(&word) + callOffset,
                NearCall::length);
    return call;
}

std::uint64_t withCall(std::uint64_t word, const NearCall& call) {
    std::memcpy(reinterpret_cast<char*>(&word) + callOffset, call.bytes.data(), NearCall::length);
    return word;
}

// Keeps the module that holds address mapped until the process ends; false when address lies in
// no module. Pinning the game's own image changes nothing: it never goes.
bool pinModuleAt(std::uint32_t address) {
    HMODULE owner = nullptr;
    return GetModuleHandleExA(
               GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
               reinterpret_cast<LPCSTR>(address), &owner) != 0;
}

// The redirection of the game's frame call: it keeps the five bytes it found, so it knows the
// former target and can put the call back.
class FrameCallPatch {
  public:
    // Redirects the game's frame call to frameThunk. Answers false, and leaves the game's bytes
    // and page protection as they were, when the page cannot be made writable, no near call
    // stands there or its target cannot be kept mapped.
    bool apply() {
        const NearCall hook =
            NearCall::to(gameAddress::frameCallSite, reinterpret_cast<std::uint32_t>(&frameThunk));
        return swap(
            [&](const NearCall& found) {
                if (!shouldRedirect(true, found)) return false;  // asked once the page is writable
                // Our thunk jumps to the former target every frame. Where another plug-in hooked
                // the call before us, that is its thunk, and a careful plug-in that is freed leaves
                // the call to whoever hooked after it and is unmapped: its module stays. A target
                // in no module (code another plug-in put in memory of its own) cannot be kept.
                const std::uint32_t target = found.target(gameAddress::frameCallSite);
                if (!pinModuleAt(target)) return false;
                original = found;
                // Released before the call can reach the thunk: a frame that arrives there as soon
                // as the new call is in place finds where to go on.
                __atomic_store_n(&savedFrameTarget, target, __ATOMIC_RELEASE);
                return true;
            },
            hook);
    }

    // Puts back the call that apply() found; false when the site no longer holds our call
    // (another plug-in has hooked it after us and jumps on to our thunk).
    bool undo() {
        const NearCall hook =
            NearCall::to(gameAddress::frameCallSite, reinterpret_cast<std::uint32_t>(&frameThunk));
        return swap([&](const NearCall& found) { return found.bytes == hook.bytes; }, original);
    }

  private:
    // Writes replacement over the call when decide(what is there) agrees, with one compare and
    // exchange; should the site change between the read and the store, it decides again on what
    // is there now.
    template <typename Decide>
    static bool swap(Decide decide, const NearCall& replacement) {
        void* site = reinterpret_cast<void*>(gameAddress::frameCallSite);
        DWORD previous = 0;
        if (!VirtualProtect(site, NearCall::length, PAGE_EXECUTE_READWRITE, &previous)) {
            return false;
        }
        std::atomic_ref<std::uint64_t> word(*reinterpret_cast<std::uint64_t*>(patchWord));
        std::uint64_t seen = word.load();
        bool written = false;
        while (decide(callIn(seen))) {
            written = word.compare_exchange_strong(seen, withCall(seen, replacement));
            if (written) break;
        }
        DWORD scratch = 0;
        VirtualProtect(site, NearCall::length, previous, &scratch);
        if (written) FlushInstructionCache(GetCurrentProcess(), site, NearCall::length);
        return written;
    }

    NearCall original;
};

}  // namespace

bool hookFrameCall() {
    FrameCallPatch patch;
    if (!patch.apply()) return false;
    // The library stays mapped until the process ends: the game's code now calls into it every
    // frame, and a plug-in that hooks the same call after us jumps on to our thunk. A FreeLibrary
    // from a plug-in loader then changes nothing, and the detach comes only at process exit.
    // Unpinned, a FreeLibrary would unmap the thunk the game calls: the call goes back, and the
    // library stays inert. Should another plug-in have hooked on top of us meanwhile, it jumps on
    // to our thunk, and we stay.
    return pinModuleAt(reinterpret_cast<std::uint32_t>(&frameThunk)) || !patch.undo();
}
