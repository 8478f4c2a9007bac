#include "checks/setting_facts.h"

#include <cstdio>

const char* settingKind(const SettingKey& key) {
    static const char* const kinds[] = {"float", "duration", "volume", "switch"};
    return kinds[key.field.index()];
}

std::string boundText(const SettingKey& key, double bound) {
    char text[32];
    const bool isFloat = std::holds_alternative<float EffectSettings::*>(key.field);
    std::snprintf(text, sizeof text, isFloat ? "%.1f" : "%.0f", bound);
    return text;
}

std::string outsideText(std::size_t setting) {
    const SettingKey& key = settingKeys[setting];
    const SettingFacts& facts = settingFacts[setting];
    std::string text;
    const auto add = [&](const std::string& part) { text += (text.empty() ? "" : "; ") + part; };
    if (facts.below != nullptr) add("below " + boundText(key, facts.min) + ": " + facts.below);
    if (facts.above != nullptr && facts.max) {
        add("above " + boundText(key, *facts.max) + ": " + facts.above);
    }
    if (facts.rule != nullptr) add(facts.rule);
    if (!text.empty()) text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text.empty() ? text : text + '.';
}
