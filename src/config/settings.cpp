#include "config/settings.h"

#include <cstdio>

#include "config/msvcrt_atof.h"
#include "platform/win32_api.h"

EffectSettings effectSettings;

namespace {

// Reads one key into its field of settings.
struct KeyReader {
    const SettingKey& setting;
    EffectSettings& settings;
    const char* path;

    UINT readInt() const {
        return GetPrivateProfileIntA(settingsSection, setting.key,
                                     static_cast<int>(setting.defaultValue), path);
    }

    void operator()(float EffectSettings::*field) const {
        char defaultText[settingTextSize];
        std::snprintf(defaultText, sizeof defaultText, "%.2f", setting.defaultValue);
        char valueText[settingTextSize];
        GetPrivateProfileStringA(settingsSection, setting.key, defaultText, valueText,
                                 settingTextSize, path);
        settings.*field = static_cast<float>(msvcrt::atof(valueText));
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

void readSettings(const char* settingsPath, EffectSettings& settings) {
    for (const SettingKey& setting : settingKeys) {
        std::visit(KeyReader{setting, settings, settingsPath}, setting.field);
    }
}
