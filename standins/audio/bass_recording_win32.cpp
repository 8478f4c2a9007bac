// bass.dll for the Windows host: the seven audio-library entry points the plug-in imports, which
// play nothing and report every call, with its arguments and result, to the observer the host sets
// through bassRecordTo. A stream opens for any path where a file (not a folder) exists; handles
// count up from 1 and are never given out twice.
#include <windows.h>

#include "standins/audio/call_observer.h"

namespace {

audio::CallObserver* observer = nullptr;
HSTREAM lastHandle = 0;

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
    return TRUE;
}

__declspec(dllexport) BASS_BOOL BASSAPI BASS_Free() {
    report([](audio::CallObserver& o) { o.bassFree(); });
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
