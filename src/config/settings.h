// The plug-in's configuration: the values from the "Settings" section of "Ostrelle.ini".
#pragma once

#include <array>
#include <cstdint>
#include <variant>

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

// The keys in the order they are read: the minimum duration comes before the maximum that is
// raised to it. What each means to a modder (unit, range) is described beside this table in the
// tools' code (checks/setting_facts.h), which the DLL does not hold.
inline constexpr auto settingKeys = std::to_array<SettingKey>({
    {"Volume Damage", 1.0, &EffectSettings::volumeDamage, nullptr},
    {"Impact intensity", 250.0, &EffectSettings::impactIntensity, nullptr},
    {"Minimum time impact SFX", 2000, &EffectSettings::minImpactMs, nullptr},
    {"Maximum time impact SFX", 5000, &EffectSettings::maxImpactMs, &EffectSettings::minImpactMs},
    {"Radio Duck Volume", 20, &EffectSettings::radioDuckVolume, nullptr},
    {"Enable Tunnel Static", 1, &EffectSettings::tunnelStaticEnabled, nullptr},
    {"Volume Noise", 1.0, &EffectSettings::volumeNoise, nullptr},
    {"Tunnel Radio Duck Volume", 30, &EffectSettings::tunnelDuckVolume, nullptr},
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
