#include "sim/check_ini.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "compat/profile_file.h"
#include "config/msvcrt_atof.h"
#include "config/settings.h"
#include "platform/win32_api.h"

namespace {

namespace fs = std::filesystem;
using platform::ProfileKey;
using platform::ProfileSection;

std::string shortest(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// Text in quotes, control characters shown as \xNN so that a message shows what the file holds.
std::string inQuotes(std::string_view text) {
    std::string out = "'";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            constexpr char hex[] = "0123456789ABCDEF";
            out += {'\\', 'x', hex[byte >> 4], hex[byte & 0xF]};
        } else {
            out += c;
        }
    }
    return out + "'";
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerAscii(x) == lowerAscii(y);
           });
}

bool isBlankText(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return platform::isProfileSpace(c); });
}

// Edits (insert, delete, replace one character) that turn a into b, letter case ignored.
std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t replaced = diagonal + (lowerAscii(a[i - 1]) != lowerAscii(b[j - 1]));
            diagonal = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, replaced});
        }
    }
    return row[b.size()];
}

const SettingKey* settingNamed(std::string_view name) {
    const auto found =
        std::find_if(settingKeys.begin(), settingKeys.end(),
                     [&](const SettingKey& s) { return equalsIgnoringCase(s.key, name); });
    return found == settingKeys.end() ? nullptr : &*found;
}

// The setting whose name is a few typing slips away from name, or nullptr.
const SettingKey* nearestSetting(std::string_view name) {
    const SettingKey* nearest = nullptr;
    std::size_t best = 0;
    for (const SettingKey& setting : settingKeys) {
        const std::size_t distance = editDistance(name, setting.key);
        const std::size_t allowed = 2 + std::string_view(setting.key).size() / 8;
        if (distance <= allowed && (nearest == nullptr || distance < best)) {
            nearest = &setting;
            best = distance;
        }
    }
    return nearest;
}

// A line the file's author meant as a comment: Windows reads it as a key no one asks for.
bool isComment(std::string_view name) {
    return !name.empty() && (name.front() == ';' || name.front() == '#');
}

std::string narrow(std::u16string_view text) {
    return platform::narrowToAnsi(text);
}

// A key's text as read into a buffer of bufferSize characters, and whether the buffer cut it.
struct KeyText {
    std::string text;
    bool cut;
};

KeyText keyText(const ProfileKey& key, std::size_t bufferSize) {
    const std::string text = narrow(*platform::profileText(&key, bufferSize));
    const std::string whole = narrow(*platform::profileText(&key, key.value->size() + 2));
    return {text, whole.size() > text.size()};
}

std::string valueText(const EffectSettings& settings, const SettingField& field) {
    return std::visit(
        [&](auto member) -> std::string {
            const auto value = settings.*member;
            if constexpr (std::is_same_v<decltype(value), const float>) {
                return shortest(value);
            } else if constexpr (std::is_same_v<decltype(value), const bool>) {
                return value ? "1 (on)" : "0 (off)";
            } else {
                return std::to_string(value);
            }
        },
        field);
}

// The warnings of one file, printed in line order, each naming the file and the line.
struct Report {
    std::vector<std::pair<int, std::string>> warnings;

    void warn(int line, const std::string& message) { warnings.emplace_back(line, message); }

    void print(const std::string& file, std::ostream& out) {
        std::stable_sort(warnings.begin(), warnings.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [line, message] : warnings) {
            out << file << ':' << line << ": warning: " << message << '\n';
        }
        out << file << ": " << warnings.size()
            << (warnings.size() == 1 ? " warning\n" : " warnings\n");
    }
};

void checkFloat(Report& report, const ProfileKey& key, const SettingKey& setting) {
    const std::string name = inQuotes(setting.key);
    const KeyText read = keyText(key, settingTextSize);
    if (read.cut) {
        report.warn(key.line, name + " is longer than " + std::to_string(settingTextSize - 1) +
                                  " characters: only " + inQuotes(read.text) + " is read");
    }
    if (read.text.empty()) {
        report.warn(key.line, name + " is empty: it reads as 0, not as its default " +
                                  shortest(setting.defaultValue));
        return;
    }
    const std::size_t used = msvcrt::atofLength(read.text.c_str());
    const std::string rest = read.text.substr(used);
    if (used == 0) {
        report.warn(key.line,
                    name + " = " + inQuotes(read.text) + " is not a decimal number: it reads as 0");
    } else if (!isBlankText(rest)) {
        const auto value = static_cast<float>(msvcrt::atof(read.text.c_str()));
        const bool comment = rest.find_first_not_of(" \t") != std::string::npos &&
                             rest[rest.find_first_not_of(" \t")] == ';';
        report.warn(key.line, name + " = " + inQuotes(read.text) + " is read only in part, as " +
                                  shortest(value) + ": " + inQuotes(rest) + " is ignored" +
                                  (comment ? " (';' starts no comment after a value)" : ""));
    }
}

const char* baseName(std::uint32_t base) {
    return base == 16 ? "hexadecimal" : base == 8 ? "octal" : "binary";
}

void checkInteger(Report& report, const ProfileKey& key, const SettingKey& setting) {
    const std::optional<platform::ProfileInteger> reading = platform::profileInteger(&key);
    if (!reading) return;  // empty: the key keeps its default
    const std::string name = inQuotes(setting.key);
    const KeyText read = keyText(key, platform::profileIntegerBufferSize);
    const std::string value = std::to_string(reading->value);
    const std::string is = name + " = " + inQuotes(read.text) + " ";
    if (read.cut) {
        report.warn(key.line, name + " is longer than " +
                                  std::to_string(platform::profileIntegerBufferSize - 1) +
                                  " characters: only " + inQuotes(read.text) + " is read");
    }
    if (reading->digits == 0) {
        report.warn(key.line, is + "is not a number: it reads as 0");
        return;
    }
    if (!isBlankText(read.text.substr(read.text.size() - reading->unread))) {
        report.warn(key.line, is + "is read only in part, as " + value);
    }
    if (reading->negative && reading->value != 0) {
        report.warn(key.line, is + "is negative: it wraps to " + value);
    }
    if (reading->base != 10) {
        report.warn(key.line, is + "is read as " + baseName(reading->base) + ": " + value);
    }
    if (reading->overflowed) {
        report.warn(key.line, is + "does not fit in 32 bits: it wraps to " + value);
    }
    if (std::holds_alternative<std::uint8_t EffectSettings::*>(setting.field) &&
        reading->value > 0xFF) {
        report.warn(key.line, is + "keeps only its low 8 bits: the radio volume is " +
                                  std::to_string(reading->value & 0xFFu));
    }
}

void checkUnknownKey(Report& report, const ProfileKey& key, const std::string& name) {
    if (name.empty()) {
        report.warn(key.line, "a value without a key name before '=' is ignored");
        return;
    }
    std::string message = "unknown key " + inQuotes(name) + " is ignored";
    const std::size_t colon = name.find(':');
    if (colon != std::string::npos && settingNamed(name.substr(0, colon)) != nullptr) {
        message += ": ':' is no separator, write " +
                   inQuotes(name.substr(0, colon) + '=' + name.substr(colon + 1));
    } else if (const SettingKey* nearest = nearestSetting(name)) {
        message += ": did you mean " + inQuotes(nearest->key) + "?";
    } else if (name.front() == '[') {
        message += ": a section header needs a closing ']'";
    }
    report.warn(key.line, message);
}

// For each setting, its first line in the section the plug-in reads, or nullptr.
using FirstLines = std::vector<const ProfileKey*>;

// The keys of the section the plug-in reads, line by line.
FirstLines checkSettingsKeys(Report& report, const ProfileSection& section) {
    FirstLines firstLines(settingKeys.size(), nullptr);
    for (const ProfileKey& key : section.keys) {
        const std::string name = narrow(key.name);
        if (isComment(name)) continue;
        const SettingKey* setting = settingNamed(name);
        if (setting == nullptr) {
            checkUnknownKey(report, key, name);
            continue;
        }
        const ProfileKey*& first = firstLines[setting - settingKeys.data()];
        if (first != nullptr) {
            report.warn(key.line, inQuotes(setting->key) +
                                      " appears again: only its first line (line " +
                                      std::to_string(first->line) + ") is read");
            continue;
        }
        first = &key;
        if (!key.value) {
            report.warn(key.line, inQuotes(setting->key) + " has no '=': it keeps its default " +
                                      shortest(setting->defaultValue));
        } else if (std::holds_alternative<float EffectSettings::*>(setting->field)) {
            checkFloat(report, key, *setting);
        } else {
            checkInteger(report, key, *setting);
        }
    }
    return firstLines;
}

// The index of the setting that stores into field.
std::size_t settingOf(std::uint32_t EffectSettings::*field) {
    const auto found =
        std::find_if(settingKeys.begin(), settingKeys.end(), [&](const SettingKey& s) {
            const auto* member = std::get_if<std::uint32_t EffectSettings::*>(&s.field);
            return member != nullptr && *member == field;
        });
    return static_cast<std::size_t>(found - settingKeys.begin());
}

// A duration read below the one it must not be below is raised to it.
void checkRaisedDurations(Report& report, const FirstLines& firstLines,
                          const EffectSettings& settings) {
    for (std::size_t i = 0; i < settingKeys.size(); ++i) {
        const SettingKey& setting = settingKeys[i];
        if (setting.atLeast == nullptr) continue;
        const std::optional<platform::ProfileInteger> reading =
            firstLines[i] != nullptr ? platform::profileInteger(firstLines[i]) : std::nullopt;
        const auto asRead =
            reading ? reading->value : static_cast<std::uint32_t>(setting.defaultValue);
        if (asRead >= settings.*setting.atLeast) continue;
        const SettingKey& floor = settingKeys[settingOf(setting.atLeast)];
        const ProfileKey* key =
            firstLines[i] != nullptr ? firstLines[i] : firstLines[settingOf(setting.atLeast)];
        report.warn(key != nullptr ? key->line : 1,
                    inQuotes(setting.key) + " (" + std::to_string(asRead) + ") is below " +
                        inQuotes(floor.key) + ": the plug-in raises it to " +
                        std::to_string(settings.*setting.atLeast));
    }
}

bool isSettingsSection(const ProfileSection& section) {
    return section.line > 0 && equalsIgnoringCase(narrow(section.name), settingsSection);
}

// Sections other than the first [Settings]: the plug-in reads none of their keys.
void checkOtherSections(Report& report, const platform::Profile& profile,
                        const ProfileSection* settings) {
    for (const ProfileSection& section : profile) {
        if (&section == settings) continue;
        const bool repeated = isSettingsSection(section);
        if (repeated) {
            report.warn(section.line, "a second [Settings] section (the first is at line " +
                                          std::to_string(settings->line) +
                                          "): only the first is read");
        }
        const std::string where = section.line == 0 ? "before any section"
                                  : repeated        ? "in the second [Settings] section"
                                                    : "in section [" + narrow(section.name) + "]";
        for (const ProfileKey& key : section.keys) {
            const std::string name = narrow(key.name);
            if (isComment(name)) continue;
            report.warn(key.line, inQuotes(name) + " is " + where +
                                      ": the plug-in reads only the " +
                                      "first [Settings] section, so it is ignored");
        }
    }
}

// Why the profile calls read nothing from path.
std::string unreadableReason(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) return "no such file";
    if (fs::is_directory(status)) return "a folder, not a file";
    if (!fs::is_regular_file(status)) return "not a regular file";
    if (fs::file_size(path, error) > platform::maxProfileBytes) return "larger than 64 MiB";
    return "the file cannot be opened";
}

}  // namespace

int checkIni(const std::string& path, std::ostream& out) {
    const std::optional<std::string> bytes = platform::readProfileBytes(path);
    if (!bytes) {
        out << path << ": cannot read: " << unreadableReason(path) << '\n';
        return 2;
    }
    EffectSettings settings;
    readSettings(fs::absolute(path).string().c_str(), settings);
    out << path << ": the plug-in reads\n";
    for (const SettingKey& setting : settingKeys) {
        std::string key = setting.key;
        key.resize(24, ' ');
        out << "  " << key << " = " << valueText(settings, setting.field) << '\n';
    }

    Report report;
    const platform::Profile profile = platform::parseProfile(*bytes);
    const auto first = std::find_if(profile.begin(), profile.end(), isSettingsSection);
    const ProfileSection* settingsSectionRead = first == profile.end() ? nullptr : &*first;
    if (settingsSectionRead == nullptr) {
        report.warn(1, "no [Settings] section: every key keeps its default");
    } else {
        checkRaisedDurations(report, checkSettingsKeys(report, *settingsSectionRead), settings);
    }
    checkOtherSections(report, profile, settingsSectionRead);
    report.print(path, out);
    return report.warnings.empty() ? 0 : 1;
}
