// Our own declaration of the seven audio-library (bass.dll) entry points the plug-in uses. On
// Windows they are stdcall and imported by their undecorated names through an import library made
// from bass.def; on Linux they are plain C functions that standins/audio (or a test double)
// provides.
#pragma once

#include <cstdint>

#ifdef _WIN32
#define BASSAPI __stdcall
#else
#define BASSAPI
#endif

using BASS_BOOL = std::int32_t;  // BOOL: 32-bit, nonzero is TRUE
using BASS_DWORD = std::uint32_t;
using BASS_QWORD = std::uint64_t;
using HSTREAM = BASS_DWORD;  // stream handle, 0 on failure

constexpr BASS_DWORD BASS_SAMPLE_LOOP = 4;  // stream flag: loop until stopped
constexpr BASS_DWORD BASS_ATTRIB_VOL = 2;   // channel attribute: volume, 1.0 = full

extern "C" {
BASS_BOOL BASSAPI BASS_Init(int device, BASS_DWORD freq, BASS_DWORD flags, void* win,
                            const void* dsguid);
BASS_BOOL BASSAPI BASS_Free();
HSTREAM BASSAPI BASS_StreamCreateFile(BASS_BOOL mem, const void* file, BASS_QWORD offset,
                                      BASS_QWORD length, BASS_DWORD flags);
BASS_BOOL BASSAPI BASS_StreamFree(HSTREAM handle);
BASS_BOOL BASSAPI BASS_ChannelPlay(BASS_DWORD handle, BASS_BOOL restart);
BASS_BOOL BASSAPI BASS_ChannelStop(BASS_DWORD handle);
BASS_BOOL BASSAPI BASS_ChannelSetAttribute(BASS_DWORD handle, BASS_DWORD attrib, float value);
}
