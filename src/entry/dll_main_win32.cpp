// Ostrelle.dll's load handler: on attach it records the plug-in's folder and redirects the game's
// per-frame call to frameThunk; on a detach by FreeLibrary it shuts the effects down. Nothing else
// happens at load: settings, sounds and the game's functions wait for the first frame.
//
// This file is built without SSE (see cmake/plugin_dll.cmake): the rest of the plug-in is built for
// SSE2, and nothing of it may run before the load handler has asked whether the processor has it.
// Nothing else runs before it either: every global of the plug-in is initialised at compile time.
#include <windows.h>

#include "common/plugin_directory.h"
#include "controller/controller.h"
#include "entry/frame_hook_win32.h"
#include "platform/module_folder_win32.h"

namespace {

// Whether the call was redirected. An inert plug-in (a game build we do not know, a processor
// without SSE2, a pin that failed) calls nothing in the game, ever: the fixed addresses may hold
// anything there.
bool hooked = false;

}  // namespace

// The DLL's entry point: no C runtime start-up code runs before or after it (see
// cmake/plugin_dll.cmake).
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        // Succeeds: the DLL has no TLS directory (tests/e2e checks).
        DisableThreadLibraryCalls(module);
        // The rest of the plug-in is built for SSE2.
        if (IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE)) {
            // Before the redirection, so the first frame already finds it.
            ansiFolderOf(module, pluginDirectory);
            hooked = hookFrameCall();
        }
    }
    // At process exit (reserved non-null) Windows has ended every other thread, the audio
    // library's too, and the game's exit code has run, so its audio object may be gone: a call
    // now could wait for ever on a lock a dead thread held. Nothing is called; the system
    // reclaims everything. Only a FreeLibrary of a library that is not pinned shuts down here.
    if (reason == DLL_PROCESS_DETACH && hooked && reserved == nullptr) shutDown();
    return TRUE;
}
