#include "config/settings.h"

#include <cstdio>
#include <cstdlib>
#include <variant>

#include "platform/win32_api.h"

EffectSettings effectSettings;

namespace {

constexpr const char* section = "Settings";

// Size of the default text and of the value text of a float key: at most 63 characters are read.
constexpr DWORD textSize = 64;

using Field = std::variant<float EffectSettings::*, std::uint32_t EffectSettings::*,
                           std::uint8_t EffectSettings::*, bool EffectSettings::*>;

// One key of the file. The field's type decides the conversion: float text through atof, a
// duration as all 32 bits, a volume as its low 8 bits, a switch as nonzero.
struct SettingKey {
    const char* key;  // exactly as the file spells it
    double defaultValue;
    Field field;
    std::uint32_t EffectSettings::*atLeast;  // a duration raised to this field when below it
};

// In the order they are read: the minimum duration comes before the maximum that is raised to it.
const SettingKey settingKeys[] = {
    {"Volume Damage", 1.0, &EffectSettings::volumeDamage, nullptr},
    {"Impact intensity", 250.0, &EffectSettings::impactIntensity, nullptr},
    {"Minimum time impact SFX", 2000, &EffectSettings::minImpactMs, nullptr},
    {"Maximum time impact SFX", 5000, &EffectSettings::maxImpactMs, &EffectSettings::minImpactMs},
    {"Radio Duck Volume", 20, &EffectSettings::radioDuckVolume, nullptr},
    {"Enable Tunnel Static", 1, &EffectSettings::tunnelStaticEnabled, nullptr},
    {"Volume Noise", 1.0, &EffectSettings::volumeNoise, nullptr},
    {"Tunnel Radio Duck Volume", 30, &EffectSettings::tunnelDuckVolume, nullptr},
};

// Reads one key into its field of settings.
struct KeyReader {
    const SettingKey& setting;
    EffectSettings& settings;
    const char* path;

    UINT readInt() const {
        return GetPrivateProfileIntA(section, setting.key, static_cast<int>(setting.defaultValue),
                                     path);
    }

    void operator()(float EffectSettings::*field) const {
        char defaultText[textSize];
        std::snprintf(defaultText, sizeof defaultText, "%.2f", setting.defaultValue);
        char valueText[textSize];
        GetPrivateProfileStringA(section, setting.key, defaultText, valueText, textSize, path);
        settings.*field = static_cast<float>(std::atof(valueText));
    }
    void operator()(std::uint32_t EffectSettings::*field) const {
        settings.*field = readInt();
        if (setting.atLeast != nullptr && settings.*field < settings.*setting.atLeast) {
            settings.*field = settings.*setting.atLeast;
        }
    }
    void operator()(std::uint8_t EffectSettings::*field) const {
        settings.*field = static_cast<std::uint8_t>(readInt() & 0xFFu);
    }
    void operator()(bool EffectSettings::*field) const { settings.*field = readInt() != 0; }
};

}  // namespace

void readSettings(const std::string& settingsPath, EffectSettings& settings) {
    for (const SettingKey& setting : settingKeys) {
        std::visit(KeyReader{setting, settings, settingsPath.c_str()}, setting.field);
    }
}
