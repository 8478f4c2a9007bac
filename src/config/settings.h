// The plug-in's configuration: the values from the "Settings" section of "Ostrelle.ini".
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <variant>

#include "common/path_text.h"

// The configured values. The start values are the file's defaults, so a settings file that cannot
// be read leaves the plug-in as it would be with a file that sets every key to its default.
struct EffectSettings {
    float volumeDamage = 1.0f;       // impact sound volume, 1.0 = full
    float impactIntensity = 250.0f;  // impactForce above this is an impact
    std::uint32_t minImpactMs = 2000;
    std::uint32_t maxImpactMs = 5000;   // never below minImpactMs once read
    std::uint8_t radioDuckVolume = 20;  // host radio scale, 127 = full
    bool tunnelStaticEnabled = true;
    std::uint8_t tunnelDuckVolume = 30;
    float volumeNoise = 1.0f;
};

// The process's settings: written once by startUp through readSettings, read-only afterwards.
extern EffectSettings effectSettings;

// Size of the default text and of the value text of a float key: at most 63 characters are read.
constexpr std::uint32_t settingTextSize = 64;

// A float key's default as the text handed to the profile call: two decimals after a '.', as
// printf's "%.2f" writes it in the C locale, whatever locale another module has set in the C
// runtime (a German one would write "0,50", which atof reads as 0).
void writeDefaultText(double value, char (&text)[settingTextSize]);

// The section that holds the keys.
constexpr const char* settingsSection = "Settings";

using SettingField = std::variant<float EffectSettings::*, std::uint32_t EffectSettings::*,
                                  std::uint8_t EffectSettings::*, bool EffectSettings::*>;

// One key of the file. The field's type decides the conversion: float text through atof, a
// duration as all 32 bits, a volume as its low 8 bits, a switch as nonzero.
struct SettingKey {
    const char* key;  // exactly as the file spells it
    double defaultValue;
    SettingField field;
    std::uint32_t EffectSettings::*atLeast;  // a duration raised to this field when below it
};

// The key that stores into field, with the field's start value in EffectSettings as its default:
// the defaults are written once, there.
template <typename Value>
constexpr SettingKey settingKey(const char* key, Value EffectSettings::*field,
                                std::uint32_t EffectSettings::*atLeast = nullptr) {
    return {key, static_cast<double>(EffectSettings{}.*field), field, atLeast};
}

// The keys in the order they are read: the minimum duration comes before the maximum that is
// raised to it. What each means to a modder (unit, range) is described beside this table in the
// tools' code (checks/setting_facts.h), which the DLL does not hold.
inline constexpr auto settingKeys = std::to_array<SettingKey>({
    settingKey("Volume Damage", &EffectSettings::volumeDamage),
    settingKey("Impact intensity", &EffectSettings::impactIntensity),
    settingKey("Minimum time impact SFX", &EffectSettings::minImpactMs),
    settingKey("Maximum time impact SFX", &EffectSettings::maxImpactMs,
               &EffectSettings::minImpactMs),
    settingKey("Radio Duck Volume", &EffectSettings::radioDuckVolume),
    settingKey("Enable Tunnel Static", &EffectSettings::tunnelStaticEnabled),
    settingKey("Volume Noise", &EffectSettings::volumeNoise),
    settingKey("Tunnel Radio Duck Volume", &EffectSettings::tunnelDuckVolume),
});

// The key that stores into field, for messages that name it.
template <typename Value>
constexpr const char* keyOf(Value EffectSettings::*field) {
    for (const SettingKey& setting : settingKeys) {
        const auto* member = std::get_if<Value EffectSettings::*>(&setting.field);
        if (member != nullptr && *member == field) return setting.key;
    }
    return nullptr;
}

// Reads every key from the file at settingsPath, passed unchanged to the profile calls, and
// stores each as soon as it is read. An absent file, section or key gives that key's default.
void readSettings(const char* settingsPath, EffectSettings& settings);

// Where the plug-in's settings file is, given its folder: the file "Ostrelle.ini" there when
// anything is at that path (a folder too); otherwise (a path too long to build is not there
// either) the bare name, which the profile calls look for in the Windows folder.
void locateSettingsFile(std::string_view pluginFolder, PathText& path);
