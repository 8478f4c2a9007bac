#include "support/recording_bass.h"

#include <map>
#include <stdexcept>

#include "support/call_log.h"

namespace {

std::map<std::string, HSTREAM> streamAnswers;
HSTREAM nextHandle = 1;
int callsUntilThrow = 0;  // 0: never

void record(const std::string& name, const std::vector<std::string>& args) {
    logCall(name, args);
    if (callsUntilThrow > 0 && --callsUntilThrow == 0) throw std::runtime_error(name + " failed");
}

std::string text(unsigned long long value) {
    return std::to_string(value);
}

}  // namespace

namespace recordingBass {

void reset() {
    streamAnswers.clear();
    nextHandle = 1;
    callsUntilThrow = 0;
}

void answerStream(const std::string& path, HSTREAM handle) {
    streamAnswers[path] = handle;
}

void throwOnCall(int n) {
    callsUntilThrow = n;
}

}  // namespace recordingBass

extern "C" {

BASS_BOOL BASS_Init(int device, BASS_DWORD freq, BASS_DWORD flags, void* win, const void* dsguid) {
    record("BASS_Init", {std::to_string(device), text(freq), text(flags), win ? "win" : "0",
                         dsguid ? "guid" : "0"});
    return 1;
}

BASS_BOOL BASS_Free() {
    record("BASS_Free", {});
    return 1;
}

HSTREAM BASS_StreamCreateFile(BASS_BOOL mem, const void* file, BASS_QWORD offset, BASS_QWORD length,
                              BASS_DWORD flags) {
    std::string path = static_cast<const char*>(file);
    record("BASS_StreamCreateFile", {text(mem), path, text(offset), text(length), text(flags)});
    auto answer = streamAnswers.find(path);
    return answer != streamAnswers.end() ? answer->second : nextHandle++;
}

BASS_BOOL BASS_StreamFree(HSTREAM handle) {
    record("BASS_StreamFree", {text(handle)});
    return 1;
}

BASS_BOOL BASS_ChannelPlay(BASS_DWORD handle, BASS_BOOL restart) {
    record("BASS_ChannelPlay", {text(handle), text(restart)});
    return 1;
}

BASS_BOOL BASS_ChannelStop(BASS_DWORD handle) {
    record("BASS_ChannelStop", {text(handle)});
    return 1;
}

BASS_BOOL BASS_ChannelSetAttribute(BASS_DWORD handle, BASS_DWORD attrib, float value) {
    record("BASS_ChannelSetAttribute", {text(handle), text(attrib), floatText(value)});
    return 1;
}

}  // extern "C"
