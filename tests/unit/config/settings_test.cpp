#include "config/settings.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

namespace {

// What every key gives when the file does not set it.
const EffectSettings defaults;

void expectSettings(const EffectSettings& actual, const EffectSettings& expected,
                    const std::string& label) {
    for (const SettingKey& setting : settingKeys) {
        std::visit(
            [&](auto field) {
                EXPECT_EQ(actual.*field, expected.*field) << setting.key << ' ' << label;
            },
            setting.field);
    }
}

// Reads settings that start from values unlike any default, so that a key that is not read
// (or not reset to its default) shows.
EffectSettings readFrom(const std::string& path) {
    EffectSettings settings;
    for (const SettingKey& setting : settingKeys) {
        std::visit(
            [&](auto field) {
                using Value = std::remove_reference_t<decltype(settings.*field)>;
                if constexpr (std::is_same_v<Value, bool>) {
                    settings.*field = !(settings.*field);
                } else {
                    settings.*field = static_cast<Value>(settings.*field + 3);
                }
            },
            setting.field);
    }
    readSettings(path.c_str(), settings);
    return settings;
}

TEST(ReadSettings, MissingFileOrSectionGivesEveryDefault) {
    TempFolder folder;
    expectSettings(readFrom("plug\\Ostrelle.ini"), defaults, "no file");
    folder.write("plug/Ostrelle.ini", "[Other]\nVolume Damage=0.5\n");
    expectSettings(readFrom("plug\\Ostrelle.ini"), defaults, "no Settings section");
}

struct KeyCase {
    const char* name;  // lines of the Settings section
    EffectSettings expected;
};
EffectSettings with(void (*change)(EffectSettings&)) {
    EffectSettings settings = defaults;
    change(settings);
    return settings;
}
const KeyCase keyCases[] = {
    {"Radio Duck Volume=300", with([](auto& s) { s.radioDuckVolume = 44; })},
    {"Radio Duck Volume=256", with([](auto& s) { s.radioDuckVolume = 0; })},
    {"Tunnel Radio Duck Volume=127", with([](auto& s) { s.tunnelDuckVolume = 127; })},
    {"Enable Tunnel Static=0", with([](auto& s) { s.tunnelStaticEnabled = false; })},
    {"Enable Tunnel Static=7", defaults},
    {"Minimum time impact SFX=7000", with([](auto& s) { s.minImpactMs = s.maxImpactMs = 7000; })},
    {"Minimum time impact SFX=5000\nMaximum time impact SFX=2000",
     with([](auto& s) { s.minImpactMs = s.maxImpactMs = 5000; })},
    {"Minimum time impact SFX=2000\nMaximum time impact SFX=2000",
     with([](auto& s) { s.maxImpactMs = 2000; })},
    {"Maximum time impact SFX=4294967295", with([](auto& s) { s.maxImpactMs = 4294967295u; })},
    {"Volume Damage=abc", with([](auto& s) { s.volumeDamage = 0.0f; })},
    {"Volume Damage=0.5xyz", with([](auto& s) { s.volumeDamage = 0.5f; })},
    {"Volume Damage=2.5", with([](auto& s) { s.volumeDamage = 2.5f; })},
    {"Volume Noise=0.1", with([](auto& s) { s.volumeNoise = 0.1f; })},
    {"Volume Noise=", with([](auto& s) { s.volumeNoise = 0.0f; })},
    {"Impact intensity=", with([](auto& s) { s.impactIntensity = 0.0f; })},
    // 62 zeros, then 5, then seven more digits: only the first 63 characters are read.
    {"Impact intensity=00000000000000000000000000000000000000000000000000000000000000"
     "55555555",
     with([](auto& s) { s.impactIntensity = 5.0f; })},
    {"volume damage=0.25\nIMPACT INTENSITY=100", with([](auto& s) {
         s.volumeDamage = 0.25f;
         s.impactIntensity = 100.0f;
     })},
};
class ReadSettingsKey : public testing::TestWithParam<KeyCase> {};

TEST_P(ReadSettingsKey, IsConvertedAsItsFieldNeeds) {
    TempFolder folder;
    folder.write("Ostrelle.ini", std::string("[Settings]\n") + GetParam().name + "\n");
    expectSettings(readFrom("Ostrelle.ini"), GetParam().expected, "");
}
INSTANTIATE_TEST_SUITE_P(, ReadSettingsKey, testing::ValuesIn(keyCases), CaseName());

}  // namespace

// The default texts ignore the C runtime's locale, which another module may have set to one with a
// decimal comma.
TEST(DefaultText, HasTwoDecimalsAfterAPointInAnyLocale) {
    const bool comma = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    char text[settingTextSize];
    for (auto [value, expected] : {std::pair{1.0, "1.00"},
                                   {250.0, "250.00"},
                                   {0.5, "0.50"},
                                   {0.004, "0.00"},
                                   {12.345678, "12.35"},
                                   {-2.5, "-2.50"}}) {
        writeDefaultText(value, text);
        EXPECT_STREQ(text, expected) << value << (comma ? " under de_DE" : "");
    }
    std::setlocale(LC_ALL, "C");
}
