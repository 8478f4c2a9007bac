// Fuzz target: the plug-in's controller in the simulator, over frames of the simulated game and
// settings made of arbitrary bytes. After every frame, and at the game's exit, it checks what must
// hold whatever the game does: at most two radio volume pushes in a frame, none above 127 unless a
// configured volume is; a whole radioLevel; no audio call before start-up or after shut-down; at
// most one impact sound playing; the noise stopped whenever the state is not tunnel static; no call
// at all after the last frame; and a timeline that counts a crash wherever, and only where, a duck
// starts.
//
// The input, little-endian:
//   settings: one value for each key of settingKeys, in its order, by the key's type (see
//     valueText): today damage volume in hundredths (u16), impact intensity in hundredths (u16),
//     shortest and longest duck in ms (u32 each), radio duck volume (u8), tunnel static switch
//     (u8), noise volume in hundredths (u16), tunnel duck volume (u8); then the first frame's
//     tick (u32); missing bytes read 0;
//   then one row a frame: ticks since the frame before (u16), suspend flag, actor, vehicle id and
//     status (u8 each), health, impact, x, y, z (f32 each), roof found (u8, low bit), roof height
//     (f32). Bytes short of a whole row are ignored.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "config/settings.h"
#include "controller/effect_constants.h"
#include "drives/simulation.h"
#include "fuzz_support.h"
#include "sound/sound_player.h"
#include "tests/support/timeline_property.h"

namespace {

constexpr std::size_t rowSize = 31;
constexpr std::size_t mostPushesInAFrame = 2;  // an impact's own push, then the duck's

// The plug-in's folder: its settings file, rewritten for every input, and the game's sounds
// (linked in once, by LLVMFuzzerInitialize).
const TempFolder folder(TempFolder::Enter::no);

// Reads the input front to back; past its end every value is 0.
class Bytes {
  public:
    Bytes(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    template <typename T>
    T next() {
        T value{};
        const std::size_t count = std::min(sizeof value, size - position);
        std::memcpy(&value, data + position, count);
        position += count;
        return value;
    }

    std::size_t left() const { return size - position; }

  private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

// A value for a key that stores into a field of type Value, as a modder would write it: a float
// in hundredths (u16), a duration (u32), a volume or a switch (u8, the switch as the number).
template <typename Value>
std::string valueText(Bytes& in, Value EffectSettings::*) {
    if constexpr (std::is_same_v<Value, float>) {
        char text[16];
        std::snprintf(text, sizeof text, "%.2f", in.next<std::uint16_t>() / 100.0);
        return text;
    } else {
        using Stored = std::conditional_t<std::is_same_v<Value, bool>, std::uint8_t, Value>;
        return std::to_string(in.next<Stored>());
    }
}

// The settings file the input describes: every key of the plug-in's, in its table's order.
std::string settingsText(Bytes& in) {
    std::string text = "[" + std::string(settingsSection) + "]\n";
    for (const SettingKey& setting : settingKeys) {
        text += std::string(setting.key) + '=' +
                std::visit([&](auto field) { return valueText(in, field); }, setting.field) + '\n';
    }
    return text;
}

std::vector<ReplayFrame> framesOf(Bytes& in, std::uint32_t tick) {
    std::vector<ReplayFrame> frames;
    while (in.left() >= rowSize) {
        ReplayFrame& row = frames.emplace_back();
        row.frame = static_cast<std::uint32_t>(frames.size() - 1);
        tick += in.next<std::uint16_t>();
        row.tick = tick;
        row.suspend = in.next<std::uint8_t>();
        row.actor = in.next<std::uint8_t>();
        row.vehicle = in.next<std::uint8_t>();
        row.status = in.next<std::uint8_t>();
        row.health = in.next<float>();
        row.impact = in.next<float>();
        row.x = in.next<float>();
        row.y = in.next<float>();
        row.z = in.next<float>();
        row.roofFound = (in.next<std::uint8_t>() & 1) != 0;
        row.roofZ = in.next<float>();
    }
    return frames;
}

// One call of the trace: its name, and the volume of a radio volume push.
struct Call {
    std::string_view name;
    unsigned volume = 0;
};

Call callOf(std::string_view line) {
    constexpr std::string_view callKey = "\"call\":\"";
    constexpr std::string_view volumeKey = "\"volume\":";
    const std::size_t nameStart = line.find(callKey) + callKey.size();
    Call call{line.substr(nameStart, line.find('"', nameStart) - nameStart)};
    if (const std::size_t volume = line.find(volumeKey); volume != std::string_view::npos) {
        call.volume =
            static_cast<unsigned>(std::stoul(std::string(line.substr(volume + volumeKey.size()))));
    }
    return call;
}

// How many of the plug-in's sounds in role are playing after the frame.
std::size_t playing(const FrameRecord& record, SoundRole role) {
    return std::count_if(
        record.playing.begin(), record.playing.end(), [&](const std::string& name) {
            return std::any_of(std::begin(pluginSounds), std::end(pluginSounds),
                               [&](const PluginSound& sound) {
                                   return sound.role == role && name == sound.fileName;
                               });
        });
}

// Follows the trace as it grows and checks every frame against what must hold.
class Watch {
  public:
    explicit Watch(const std::ostringstream& trace) : trace(trace) {}

    void afterFrame(const FrameRecord& record) {
        const std::string where = " (frame " + std::to_string(record.row.frame) + ")";
        require(newCalls() <= mostPushesInAFrame, "at most two radio volume pushes" + where);
        require(
            std::isfinite(record.radioLevel) && record.radioLevel == std::trunc(record.radioLevel),
            "radioLevel is a whole number" + where);
        require(playing(record, SoundRole::impact) <= 1,
                "at most one impact sound playing" + where);
        require(playing(record, SoundRole::staticLoop) == 0 ||
                    record.state == EffectState::TunnelStatic,
                "the noise stopped outside tunnel static" + where);
    }

    // The game exits after the last frame: the plug-in, pinned, is detached only at process
    // exit, where it calls nothing.
    void afterExit() const {
        require(trace.str().size() == seen, "nothing is called after the last frame");
    }

  private:
    // Checks the calls made since the last look, and answers how many radio volume pushes they
    // hold.
    std::size_t newCalls() {
        const std::string text = trace.str();
        std::size_t pushes = 0;
        for (std::size_t end = text.find('\n', seen); end != std::string::npos;
             seen = end + 1, end = text.find('\n', seen)) {
            const Call call = callOf(std::string_view(text).substr(seen, end - seen));
            if (call.name == "setRadioVolume") {
                ++pushes;
                require(call.volume <= fullRadioVolume || configuredAboveFull(),
                        "no push above 127 unless a configured volume is above 127");
            } else if (call.name.starts_with("BASS_")) {
                audioCall(call.name);
            }
        }
        return pushes;
    }

    void audioCall(std::string_view name) {
        require(!audioClosed, "no audio call after shut-down: " + std::string(name));
        require(audioStarted || name == "BASS_Init",
                "no audio call before start-up: " + std::string(name));
        audioStarted = true;
        audioClosed = name == "BASS_Free";
    }

    static bool configuredAboveFull() {
        return std::max(effectSettings.radioDuckVolume, effectSettings.tunnelDuckVolume) >
               fullRadioVolume;
    }

    const std::ostringstream& trace;
    std::size_t seen = 0;
    bool audioStarted = false;
    bool audioClosed = false;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::filesystem::create_directory_symlink(
        std::filesystem::path(OSTRELLE_ASSETS) / soundFolderName, folder.path() / soundFolderName);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const std::string settings = settingsText(in);
    folder.write("Ostrelle.ini", settings);
    const std::vector<ReplayFrame> frames = framesOf(in, in.next<std::uint32_t>());

    std::ostringstream trace;
    Watch watch(trace);
    const std::vector<FrameRecord> records =
        simulate(frames, folder.path().string(), &trace,
                 [&](const FrameRecord& record) { watch.afterFrame(record); });
    watch.afterExit();
    const std::string disagreement = timelineDisagreement(records, effectSettings);
    require(disagreement.empty(), "the timeline says what the plug-in did: " + disagreement);
    return 0;
}
