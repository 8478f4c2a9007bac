// Ostrelle-recorder.dll's load handler: on attach it redirects the game's per-frame call to
// frameThunk, which runs recordFrame (recorder_win32.cpp) before the game's routine. Inert (a game
// build we do not know, a processor without SSE2, a pin that failed), the thunk is never reached
// and nothing is recorded.
//
// This file is built without SSE, as Ostrelle.dll's load handler is (see cmake/plugin_dll.cmake):
// nothing of the recorder may run before it has asked whether the processor has SSE2.
#include <windows.h>

#include "entry/frame_hook_win32.h"

// The DLL's entry point, with no C runtime start-up code. Its folders and files wait for the
// writer thread: nothing of them runs under the loader lock.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        // Succeeds: the DLL has no TLS directory (tests/e2e checks).
        DisableThreadLibraryCalls(module);
        if (IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE)) hookFrameCall();
    }
    // Pinned once hooked, the recorder is detached only at process exit, where it calls nothing:
    // Windows has ended the writer thread, and the system closes the files.
    return TRUE;
}
