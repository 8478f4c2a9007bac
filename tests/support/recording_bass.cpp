#include "tests/support/recording_bass.h"

#include <map>
#include <stdexcept>

#include "tests/support/call_log.h"

namespace {

std::map<std::string, HSTREAM> streamAnswers;
HSTREAM nextHandle = 1;
int callsUntilThrow = 0;  // 0: never
RecordingBassCalls counted;

// Logs the call, its arguments made only while the log is on, and throws when a test asked.
template <typename Arguments>
void record(const char* name, Arguments arguments) {
    if (callLogging) logCall(name, arguments());
    if (callsUntilThrow > 0 && --callsUntilThrow == 0) {
        throw std::runtime_error(std::string(name) + " failed");
    }
}

using Args = std::vector<std::string>;

std::string text(unsigned long long value) {
    return std::to_string(value);
}

}  // namespace

namespace recordingBass {

void reset() {
    streamAnswers.clear();
    nextHandle = 1;
    callsUntilThrow = 0;
    counted = RecordingBassCalls{};
}

const RecordingBassCalls& calls() {
    return counted;
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
    record("BASS_Init", [&] {
        return Args{std::to_string(device), text(freq), text(flags), win ? "win" : "0",
                    dsguid ? "guid" : "0"};
    });
    return 1;
}

BASS_BOOL BASS_Free() {
    record("BASS_Free", [] { return Args{}; });
    return 1;
}

HSTREAM BASS_StreamCreateFile(BASS_BOOL mem, const void* file, BASS_QWORD offset, BASS_QWORD length,
                              BASS_DWORD flags) {
    ++counted.streamsCreated;
    std::string path = static_cast<const char*>(file);
    record("BASS_StreamCreateFile", [&] {
        return Args{text(mem), path, text(offset), text(length), text(flags)};
    });
    auto answer = streamAnswers.find(path);
    return answer != streamAnswers.end() ? answer->second : nextHandle++;
}

BASS_BOOL BASS_StreamFree(HSTREAM handle) {
    record("BASS_StreamFree", [&] { return Args{text(handle)}; });
    return 1;
}

BASS_BOOL BASS_ChannelPlay(BASS_DWORD handle, BASS_BOOL restart) {
    ++counted.plays;
    record("BASS_ChannelPlay", [&] { return Args{text(handle), text(restart)}; });
    return 1;
}

BASS_BOOL BASS_ChannelStop(BASS_DWORD handle) {
    ++counted.stops;
    record("BASS_ChannelStop", [&] { return Args{text(handle)}; });
    return 1;
}

BASS_BOOL BASS_ChannelSetAttribute(BASS_DWORD handle, BASS_DWORD attrib, float value) {
    ++counted.volumeSets;
    record("BASS_ChannelSetAttribute", [&] {
        return Args{text(handle), text(attrib), floatText(value)};
    });
    return 1;
}

}  // extern "C"
