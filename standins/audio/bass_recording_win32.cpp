// bass.dll for the Windows host: the seven audio-library entry points the plug-in imports, which
// play nothing and report every call, with its arguments and result, to the observer the host sets
// through bassRecordTo. A stream opens for any path where a file (not a folder) exists; handles
// count up from 1 and are never given out twice.
//
// Like the real library, it runs a mixer thread from BASS_Init to BASS_Free, and BASS_Free waits
// for that thread to finish. At process exit Windows has already killed the thread, so a BASS_Free
// there would wait for ever (or, on Windows Vista and later, end the process on the spot, skipping
// the unload of every module loaded before). Wine would let it pass; this library does not: when
// the thread does not answer, it ends the process with exitWhenFreeHangs.
#include <windows.h>

#include "standins/audio/call_observer.h"

namespace {

audio::CallObserver* observer = nullptr;
HSTREAM lastHandle = 0;

// The exit code of a process whose BASS_Free found the mixer thread gone.
constexpr UINT exitWhenFreeHangs = 0xDEAD;
// A live mixer thread answers at once; this is far longer.
constexpr DWORD mixerAnswerMs = 2000;

// The mixer thread and the two events between it and BASS_Free. The thread's own answer is
// waited for, not the thread's handle: a thread killed at process exit signals its handle too.
HANDLE mixer = nullptr;
HANDLE stopMixer = nullptr;  // set by BASS_Free
HANDLE mixerDone = nullptr;  // set by the thread once running, and again as it finishes

DWORD WINAPI mixLoop(void*) {
    SetEvent(mixerDone);  // running: BASS_Init may return
    // Nothing is mixed here: the thread only waits to be stopped.
    WaitForSingleObject(stopMixer, INFINITE);
    SetEvent(mixerDone);
    return 0;
}

// As the real library's, BASS_Init returns once its thread runs. (A process that ended while
// the thread was still starting made Wine itself crash now and then.)
void startMixer() {
    if (mixer != nullptr) return;
    stopMixer = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    mixerDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);  // auto-reset: told twice
    mixer = CreateThread(nullptr, 0, mixLoop, nullptr, 0, nullptr);
    WaitForSingleObject(mixerDone, mixerAnswerMs);
}

void stopMixerAndWait() {
    if (mixer == nullptr) return;
    SetEvent(stopMixer);
    if (WaitForSingleObject(mixerDone, mixerAnswerMs) != WAIT_OBJECT_0) {
        TerminateProcess(GetCurrentProcess(), exitWhenFreeHangs);
    }
    CloseHandle(mixer);
    CloseHandle(stopMixer);
    CloseHandle(mixerDone);
    mixer = stopMixer = mixerDone = nullptr;
}

template <typename Report>
void report(Report&& call) {
    if (observer != nullptr) call(*observer);
}

bool isFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

extern "C" {

// The host's one way in: every later call is reported to observer (null: to no one).
__declspec(dllexport) void bassRecordTo(audio::CallObserver* to) {
    observer = to;
}

__declspec(dllexport) BASS_BOOL BASSAPI
    BASS_Init(int device, BASS_DWORD freq, BASS_DWORD flags, void*, const void*) {
    report([&](audio::CallObserver& o) { o.bassInit(device, freq, flags); });
    startMixer();
    return TRUE;
}

__declspec(dllexport) BASS_BOOL BASSAPI BASS_Free() {
    report([](audio::CallObserver& o) { o.bassFree(); });
    stopMixerAndWait();
    return TRUE;
}

__declspec(dllexport) HSTREAM BASSAPI
    BASS_StreamCreateFile(BASS_BOOL mem, const void* file, BASS_QWORD, BASS_QWORD,
                          BASS_DWORD flags) {
    // The plug-in opens files by narrow path only; anything else opens nothing here.
    const char* path = !mem && file != nullptr ? static_cast<const char*>(file) : "";
    HSTREAM handle = isFile(path) ? ++lastHandle : 0;
    report([&](audio::CallObserver& o) { o.bassStreamCreateFile(path, flags, handle); });
    return handle;
}

__declspec(dllexport) BASS_BOOL BASSAPI BASS_StreamFree(HSTREAM handle) {
    report([&](audio::CallObserver& o) { o.bassStreamFree(handle); });
    return TRUE;
}

__declspec(dllexport) BASS_BOOL BASSAPI BASS_ChannelPlay(BASS_DWORD handle, BASS_BOOL restart) {
    report([&](audio::CallObserver& o) { o.bassChannelPlay(handle, restart); });
    return TRUE;
}

__declspec(dllexport) BASS_BOOL BASSAPI BASS_ChannelStop(BASS_DWORD handle) {
    report([&](audio::CallObserver& o) { o.bassChannelStop(handle); });
    return TRUE;
}

__declspec(dllexport) BASS_BOOL BASSAPI
    BASS_ChannelSetAttribute(BASS_DWORD handle, BASS_DWORD attrib, float value) {
    report([&](audio::CallObserver& o) { o.bassChannelSetAttribute(handle, attrib, value); });
    return TRUE;
}
}
