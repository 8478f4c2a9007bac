#include "standins/world/trace.h"

#include <nlohmann/json.hpp>
#include <ostream>

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string_view fileName(std::string_view path) {
    std::size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

Trace::Trace(std::ostream* out, std::string pluginFolder)
    : out(out), pluginFolder(std::move(pluginFolder)) {}

template <typename Fields>
void Trace::write(std::string_view call, const Fields& fields) {
    if (out == nullptr || muted) return;
    Json line = {{"frame", frame ? Json(*frame) : Json()}, {"tick", tick}, {"call", call}};
    line.update(fields());
    *out << line << '\n';
}

void Trace::write(std::string_view call) {
    write(call, [] { return Json::object(); });
}

void Trace::enterFrame(std::uint32_t frameNumber, std::uint32_t frameTick) {
    frame = frameNumber;
    tick = frameTick;
    startedInFrame.clear();
}

void Trace::leaveFrames() {
    frame.reset();
}

void Trace::queryActor() {
    write("queryActor");
}

void Trace::queryVehicle() {
    write("queryVehicle");
}

void Trace::findRoofZ(float x, float y, float z) {
    write("findRoofZ", [&] {
        return Json{{"x", jsonNumber(x)}, {"y", jsonNumber(y)}, {"z", jsonNumber(z)}};
    });
}

void Trace::setRadioVolume(std::uint8_t volume) {
    write("setRadioVolume", [&] { return Json{{"volume", volume}}; });
}

void Trace::getTickCount() {
    write("GetTickCount");
}

void Trace::bassInit(int device, BASS_DWORD freq, BASS_DWORD flags) {
    write("BASS_Init", [&] { return Json{{"device", device}, {"freq", freq}, {"flags", flags}}; });
}

void Trace::bassStreamCreateFile(const char* path, BASS_DWORD flags, HSTREAM handle) {
    std::string shown = path;
    if (!pluginFolder.empty() && shown.starts_with(pluginFolder) &&
        (shown.size() == pluginFolder.size() || isSeparator(shown[pluginFolder.size()]))) {
        shown = "<plugin>" + shown.substr(pluginFolder.size());
    }
    std::string_view sound = fileName(path);
    write("BASS_StreamCreateFile", [&] {
        return Json{{"path", jsonText(shown)}, {"sound", jsonText(sound)}, {"flags", flags}};
    });
    if (handle != 0) streams[handle] = Stream{std::string(sound)};
}

void Trace::bassChannelSetAttribute(BASS_DWORD handle, BASS_DWORD attrib, float value) {
    write("BASS_ChannelSetAttribute", [&] {
        return Json{{"sound", soundJson(handle)}, {"attrib", attrib}, {"value", jsonNumber(value)}};
    });
}

void Trace::bassChannelPlay(BASS_DWORD handle, BASS_BOOL restart) {
    write("BASS_ChannelPlay", [&] {
        return Json{{"sound", soundJson(handle)}, {"restart", restart}};
    });
    setPlaying(handle, true);
    const auto stream = streams.find(handle);
    if (stream != streams.end()) startedInFrame.push_back(stream->second.sound);
}

void Trace::bassChannelStop(BASS_DWORD handle) {
    write("BASS_ChannelStop", [&] { return Json{{"sound", soundJson(handle)}}; });
    setPlaying(handle, false);
}

void Trace::bassStreamFree(HSTREAM handle) {
    write("BASS_StreamFree", [&] { return Json{{"sound", soundJson(handle)}}; });
    streams.erase(handle);
}

void Trace::bassFree() {
    write("BASS_Free");
    streams.clear();
}

std::vector<std::string> Trace::playingSounds() const {
    std::vector<std::string> playing;
    for (const auto& [handle, stream] : streams) {
        if (stream.playing) playing.push_back(stream.sound);
    }
    return playing;
}

Json Trace::soundJson(BASS_DWORD handle) const {
    auto stream = streams.find(handle);
    return stream == streams.end() ? Json() : jsonText(stream->second.sound);
}

void Trace::setPlaying(BASS_DWORD handle, bool playing) {
    auto stream = streams.find(handle);
    if (stream != streams.end()) stream->second.playing = playing;
}
