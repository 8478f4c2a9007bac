#include "config/settings.h"

#include "config/msvcrt_atof.h"
#include "platform/win32_api.h"

EffectSettings effectSettings;

void writeDefaultText(double value, char (&text)[settingTextSize]) {
    // Hundredths as a whole number, rounded half away from zero; the defaults lie far inside.
    auto hundredths = static_cast<long long>(value * 100.0 + (value < 0 ? -0.5 : 0.5));
    char* at = text;
    if (hundredths < 0) {
        *at++ = '-';
        hundredths = -hundredths;
    }
    char digits[24];
    int count = 0;
    for (long long left = hundredths; count < 3 || left > 0; left /= 10) {
        digits[count++] = static_cast<char>('0' + left % 10);
    }
    while (count > 2) *at++ = digits[--count];
    *at++ = '.';
    *at++ = digits[1];
    *at++ = digits[0];
    *at = '\0';
}

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
        writeDefaultText(setting.defaultValue, defaultText);
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

void locateSettingsFile(std::string_view pluginFolder, PathText& path) {
    bool beside = path.assign(pluginFolder) && path.append("\\Ostrelle.ini") &&
                  GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!beside) path.assign("Ostrelle.ini");
}
