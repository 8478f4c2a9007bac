// The load handler: on attach it records the plug-in's folder and redirects the game's per-frame
// call to frameThunk; on detach it shuts the effects down. Nothing else happens at load: settings,
// sounds and the game's functions wait for the first frame.
#include <windows.h>

#include <cstring>
#include <string>

#include "common/plugin_directory.h"
#include "controller/controller.h"
#include "entry/frame_hook_win32.h"
#include "entry/near_call.h"
#include "host/game_addresses.h"

extern "C" {
std::uint32_t savedFrameTarget = 0;
}

namespace {

// Longest module name asked for: Windows paths stop at 32767 characters.
constexpr DWORD longestModuleName = 32768;

// Whether the call was redirected. An inert plug-in (a game build we do not know) calls nothing in
// the game, ever: the fixed addresses may hold anything there.
bool hooked = false;

// The full path of the module; "" when it cannot be had. A name that fills the buffer may have been
// cut, so it is asked for again with a larger one.
std::string moduleFileName(HMODULE module) {
    std::string name(MAX_PATH, '\0');
    for (;;) {
        DWORD length = GetModuleFileNameA(module, name.data(), static_cast<DWORD>(name.size()));
        if (length < name.size() || name.size() >= longestModuleName) {
            name.resize(length < name.size() ? length : 0);
            return name;
        }
        name.resize(name.size() * 2);
    }
}

// The redirection of the game's frame call: it keeps the five bytes it found, so it knows the
// former target. It is never undone: the game may run frames until the process ends.
class FrameCallPatch {
  public:
    // Redirects the game's frame call to frameThunk. Answers false, and leaves the game's
    // bytes and page protection as they were, when the page cannot be made writable or no near
    // call stands there.
    bool apply() {
        DWORD previous = 0;
        bool writable = VirtualProtect(site(), NearCall::length, PAGE_EXECUTE_READWRITE, &previous);
        if (writable) std::memcpy(original.bytes.data(), site(), NearCall::length);
        bool redirect = shouldRedirect(writable, original);
        if (redirect) {
            // The target first: a frame that reaches the thunk as soon as the new displacement
            // is in place must find where to go on.
            savedFrameTarget = original.target(gameAddress::frameCallSite);
            NearCall hook = NearCall::to(gameAddress::frameCallSite,
                                         reinterpret_cast<std::uint32_t>(&frameThunk));
            std::memcpy(site(), hook.bytes.data(), NearCall::length);
        }
        if (writable) {
            DWORD scratch = 0;
            VirtualProtect(site(), NearCall::length, previous, &scratch);
        }
        if (redirect) FlushInstructionCache(GetCurrentProcess(), site(), NearCall::length);
        return redirect;
    }

  private:
    static void* site() { return reinterpret_cast<void*>(gameAddress::frameCallSite); }

    NearCall original;
};

// Keeps the library mapped until the process ends: the game's code now calls into it every frame,
// and a plug-in that hooks the same call after us jumps on to our thunk. A FreeLibrary from a
// plug-in loader then changes nothing, and the detach comes only at process exit.
void pinSelf() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(&frameThunk), &self);
}

void attach(HMODULE module) {
    DisableThreadLibraryCalls(module);
    try {
        // Before the redirection, so the first frame already finds it.
        pluginDirectory = folderOfModule(moduleFileName(module));
    } catch (...) {
        return;  // out of memory at load: stay inert rather than fail the game's load
    }
    FrameCallPatch patch;
    hooked = patch.apply();
    if (hooked) pinSelf();
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) attach(module);
    if (reason == DLL_PROCESS_DETACH && hooked) shutDown();
    return TRUE;
}
