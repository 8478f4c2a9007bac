#include "bench/quiet_bass.h"

#include "sound/bass_api.h"

namespace {

QuietBassCalls counted;
HSTREAM nextHandle = 1;

}  // namespace

namespace quietBass {

void reset() {
    counted = QuietBassCalls{};
    nextHandle = 1;
}

const QuietBassCalls& calls() {
    return counted;
}

}  // namespace quietBass

extern "C" {

BASS_BOOL BASS_Init(int, BASS_DWORD, BASS_DWORD, void*, const void*) {
    return 1;
}

BASS_BOOL BASS_Free() {
    return 1;
}

HSTREAM BASS_StreamCreateFile(BASS_BOOL, const void*, BASS_QWORD, BASS_QWORD, BASS_DWORD) {
    ++counted.streamsCreated;
    return nextHandle++;
}

BASS_BOOL BASS_StreamFree(HSTREAM) {
    return 1;
}

BASS_BOOL BASS_ChannelPlay(BASS_DWORD, BASS_BOOL) {
    ++counted.plays;
    return 1;
}

BASS_BOOL BASS_ChannelStop(BASS_DWORD) {
    ++counted.stops;
    return 1;
}

BASS_BOOL BASS_ChannelSetAttribute(BASS_DWORD, BASS_DWORD, float) {
    ++counted.volumeSets;
    return 1;
}

}  // extern "C"
