// What each setting means to a modder, beside the plug-in's own table of keys: what it does, its
// unit, the range it is for, and what the plug-in does with a value outside that range. check-ini,
// check-game and the tuner page take these facts from here; nothing under src/ includes this
// header, so Ostrelle.dll holds none of the text.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "config/settings.h"

struct SettingFacts {
    const char* key;   // the key at the same place in settingKeys (checked when compiled)
    const char* what;  // what the setting does
    const char* unit;  // "" for a switch
    double min;
    std::optional<double> max;  // none: no upper bound
    // What the plug-in does with a value it holds below min or above max, when it can hold one
    // there; nullptr when it cannot.
    const char* below;
    const char* above;
    // How the plug-in reads a written value that does not fit (nullptr: as written).
    const char* rule;
    // What the plug-in does with a value too large for a float, which it holds as infinity;
    // nullptr for a setting that is no float.
    const char* infinite = nullptr;
};

namespace settingText {
constexpr const char* soundBelow =
    "the audio library refuses it, so the sound plays at its last volume, at first full (1.0)";
constexpr const char* soundAbove = "the sound plays louder than its file, and loud parts clip";
constexpr const char* soundInfinite =
    "the audio library refuses a volume that is not finite, so the sound plays at its last "
    "volume, at first full (1.0)";
constexpr const char* radioAbove =
    "the plug-in pushes it to the game as it is, louder than full, and the radio stays there "
    "until the plug-in sets another volume";
constexpr const char* lowByte = "only the low 8 bits are kept (256 reads as 0, 300 as 44)";
constexpr const char* wraps = "a negative or larger number wraps modulo 2^32 (-1 is 4294967295)";
}  // namespace settingText

inline constexpr auto settingFacts = std::to_array<SettingFacts>({
    {"Volume Damage", "Volume of the broken-radio sound played on a hard crash.", "sound volume",
     0.0, 1.0, settingText::soundBelow, settingText::soundAbove, nullptr,
     settingText::soundInfinite},
    {"Impact intensity",
     "How hard a collision must be to count as a crash: its impact force must be above this.",
     "the game's impact force", 0.0, std::nullopt,
     "an impact force of 0 is above it, so every frame in a vehicle is a crash and the radio "
     "stays ducked",
     nullptr, nullptr, "no impact force is above it, so no crash ever ducks the radio"},
    {"Minimum time impact SFX", "The shortest time the radio stays ducked after a crash.",
     "milliseconds", 0.0, 4294967295.0, nullptr, nullptr, settingText::wraps},
    {"Maximum time impact SFX",
     "The longest time the radio stays ducked after a crash; a duck lasts at most 32767 ms "
     "longer than the minimum.",
     "milliseconds", 0.0, 4294967295.0, nullptr, nullptr,
     "a maximum below the minimum is raised to the minimum"},
    {"Radio Duck Volume", "Radio volume while ducked after a crash.", "radio volume", 0.0, 127.0,
     nullptr, settingText::radioAbove, settingText::lowByte},
    {"Enable Tunnel Static",
     "Whether static plays and the radio ramps down under roofs (tunnels, bridges).", "", 0.0, 1.0,
     nullptr, nullptr, "any number other than 0 counts as on"},
    {"Volume Noise", "Volume of the static loop under a roof.", "sound volume", 0.0, 1.0,
     settingText::soundBelow, settingText::soundAbove, nullptr, settingText::soundInfinite},
    {"Tunnel Radio Duck Volume",
     "Radio volume that the radio ramps down to under a roof, by 4 a frame.", "radio volume", 0.0,
     127.0, nullptr, settingText::radioAbove, settingText::lowByte},
});

static_assert(
    [] {
        static_assert(settingFacts.size() == settingKeys.size(), "describe every setting");
        for (std::size_t i = 0; i < settingKeys.size(); ++i) {
            if (std::string_view(settingFacts[i].key) != settingKeys[i].key) return false;
        }
        return true;
    }(),
    "settingFacts follows settingKeys' order");

// "float", "duration", "volume" or "switch": how the plug-in reads the key's text.
const char* settingKind(const SettingKey& key);

// A bound as the shipped settings file writes it: "0.0", "1.0" for a float, "127" otherwise.
std::string boundText(const SettingKey& key, double bound);

// Everything the plug-in does with a value outside the range, and with text that does not fit,
// in one sentence for people.
std::string outsideText(std::size_t setting);
