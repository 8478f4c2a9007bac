#include "checks/check_ini.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "checks/setting_facts.h"
#include "compat/profile_file.h"
#include "config/msvcrt_atof.h"
#include "config/settings.h"
#include "platform/win32_api.h"
#include "text/float_text.h"
#include "text/json_text.h"
#include "text/shown_text.h"

namespace {

namespace fs = std::filesystem;
using platform::ProfileKey;
using platform::ProfileSection;

// Text of the file in quotes as a message shows it: control characters as \xNN, and a text
// longer than any value the plug-in reads (63 characters) cut.
std::string inQuotes(std::string_view text) {
    return quotedExcerpt(text, settingTextSize);
}

// The longest key name: a name much longer is no slip of the fingers.
constexpr std::size_t longestKeyName = 24;

// The duck's random part: a draw of the plug-in's generator is at most this.
constexpr std::uint32_t largestDraw = 32767;

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
    if (name.size() > 2 * longestKeyName) return nullptr;
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

// A float as the modder wrote it when the plug-in holds exactly that number, else the shortest
// text of the float it holds. written is the key's text as read, or nullptr for an absent key.
std::string writtenFloatText(float value, const std::string* written) {
    if (written != nullptr) {
        const std::size_t used = msvcrt::atofLength(written->c_str());
        const double read = msvcrt::atof(written->c_str());
        const std::size_t start = written->find_first_not_of(" \t");
        if (used > 0 && read == static_cast<double>(value) && start < used) {
            return written->substr(start, used - start);
        }
    }
    return ::floatText(value);
}

std::string valueText(const EffectSettings& settings, const SettingField& field,
                      const std::string* written) {
    return std::visit(
        [&](auto member) -> std::string {
            const auto value = settings.*member;
            if constexpr (std::is_same_v<decltype(value), const float>) {
                return writtenFloatText(value, written);
            } else if constexpr (std::is_same_v<decltype(value), const bool>) {
                return value ? "1 (on)" : "0 (off)";
            } else {
                return std::to_string(value);
            }
        },
        field);
}

// The warnings of one file as they are found.
struct Report {
    std::vector<IniWarning> warnings;

    void warn(int line, const char* key, const char* kind, const std::string& message) {
        warnings.push_back({line, key, kind, message});
    }
    void warn(int line, const SettingKey& setting, const char* kind, const std::string& message) {
        warn(line, setting.key, kind, message);
    }
};

void checkFloat(Report& report, const ProfileKey& key, const SettingKey& setting) {
    const std::string name = inQuotes(setting.key);
    const KeyText read = keyText(key, settingTextSize);
    if (read.cut) {
        report.warn(key.line, setting, "too-long",
                    name + " is longer than " + std::to_string(settingTextSize - 1) +
                        " characters: only " + inQuotes(read.text) + " is read");
    }
    if (read.text.empty()) {
        report.warn(key.line, setting, "empty",
                    name + " is empty: it reads as 0, not as its default " +
                        floatText(static_cast<float>(setting.defaultValue)));
        return;
    }
    const std::size_t used = msvcrt::atofLength(read.text.c_str());
    const std::string rest = read.text.substr(used);
    if (used == 0) {
        report.warn(key.line, setting, "not-a-number",
                    name + " = " + inQuotes(read.text) + " is not a decimal number: it reads as 0");
    } else if (!isBlankText(rest)) {
        const auto value = static_cast<float>(msvcrt::atof(read.text.c_str()));
        const bool comment = rest.find_first_not_of(" \t") != std::string::npos &&
                             rest[rest.find_first_not_of(" \t")] == ';';
        report.warn(key.line, setting, "read-in-part",
                    name + " = " + inQuotes(read.text) + " is read only in part, as " +
                        floatText(value) + ": " + inQuotes(rest) + " is ignored" +
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
        report.warn(key.line, setting, "too-long",
                    name + " is longer than " +
                        std::to_string(platform::profileIntegerBufferSize - 1) +
                        " characters: only " + inQuotes(read.text) + " is read");
    }
    if (reading->digits == 0) {
        report.warn(key.line, setting, "not-a-number", is + "is not a number: it reads as 0");
        return;
    }
    if (!isBlankText(read.text.substr(read.text.size() - reading->unread))) {
        report.warn(key.line, setting, "read-in-part", is + "is read only in part, as " + value);
    }
    if (reading->negative && reading->value != 0) {
        report.warn(key.line, setting, "negative", is + "is negative: it wraps to " + value);
    }
    if (reading->base != 10) {
        report.warn(key.line, setting, "base",
                    is + "is read as " + baseName(reading->base) + ": " + value);
    }
    if (reading->overflowed) {
        report.warn(key.line, setting, "overflow",
                    is + "does not fit in 32 bits: it wraps to " + value);
    }
    if (std::holds_alternative<std::uint8_t EffectSettings::*>(setting.field) &&
        reading->value > 0xFF) {
        report.warn(key.line, setting, "low-byte",
                    is + "keeps only its low 8 bits: the radio volume is " +
                        std::to_string(reading->value & 0xFFu));
    }
}

void checkUnknownKey(Report& report, const ProfileKey& key, const std::string& name) {
    if (name.empty()) {
        report.warn(key.line, "", "unknown-key",
                    "a value without a key name before '=' is ignored");
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
    report.warn(key.line, "", "unknown-key", message);
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
            report.warn(key.line, *setting, "repeated",
                        inQuotes(setting->key) + " appears again: only its first line (line " +
                            std::to_string(first->line) + ") is read");
            continue;
        }
        first = &key;
        if (!key.value) {
            report.warn(key.line, *setting, "no-separator",
                        inQuotes(setting->key) + " has no '=': it keeps its default " +
                            floatText(static_cast<float>(setting->defaultValue)));
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
        report.warn(key != nullptr ? key->line : 1, setting, "raised",
                    inQuotes(setting.key) + " (" + std::to_string(asRead) + ") is below " +
                        inQuotes(floor.key) + ": the plug-in raises it to " +
                        std::to_string(settings.*setting.atLeast));
    }
}

// The value the plug-in holds in field, as a number.
double heldValue(const EffectSettings& settings, const SettingField& field) {
    return std::visit([&](auto member) { return static_cast<double>(settings.*member); }, field);
}

// The value as the warnings write it: a float in its shortest form.
std::string heldText(const EffectSettings& settings, const SettingField& field) {
    return std::visit(
        [&](auto member) -> std::string {
            const auto value = settings.*member;
            if constexpr (std::is_same_v<decltype(value), const float>) {
                return floatText(value);
            } else {
                return std::to_string(+value);
            }
        },
        field);
}

// Values the plug-in takes as they are although they lie outside what each setting is for: what
// it then does with them.
void checkRanges(Report& report, const FirstLines& firstLines, const EffectSettings& settings) {
    for (std::size_t i = 0; i < settingKeys.size(); ++i) {
        const SettingKey& setting = settingKeys[i];
        const SettingFacts& facts = settingFacts[i];
        const double value = heldValue(settings, setting.field);
        const int line = firstLines[i] != nullptr ? firstLines[i]->line : 1;
        const std::string is =
            inQuotes(setting.key) + " = " + heldText(settings, setting.field) + " is ";
        if (std::isinf(value) && value > 0.0 && facts.infinite != nullptr) {
            // Past the largest float: msvcrt's atof gives infinity, which no range check expects.
            report.warn(line, setting, "not-finite",
                        is + "not a finite number (too large for a float): " + facts.infinite);
        } else if (facts.below != nullptr && value < facts.min) {
            report.warn(line, setting, "range",
                        is + "below " + boundText(setting, facts.min) + ": " + facts.below);
        } else if (facts.above != nullptr && facts.max && value > *facts.max) {
            report.warn(line, setting, "range",
                        is + "above " + boundText(setting, *facts.max) + ": " + facts.above);
        }
    }
    const std::uint64_t longest = std::uint64_t{settings.minImpactMs} + largestDraw;
    if (settings.maxImpactMs > longest) {
        const std::size_t maximum = settingOf(&EffectSettings::maxImpactMs);
        report.warn(firstLines[maximum] != nullptr ? firstLines[maximum]->line : 1,
                    settingKeys[maximum], "never-reached",
                    inQuotes(settingKeys[maximum].key) + " = " +
                        std::to_string(settings.maxImpactMs) +
                        " is never reached: a duck lasts the minimum plus a random draw of at "
                        "most 32767 ms, so at most " +
                        std::to_string(longest) + " ms");
    }
}

// A file in UTF-16 without its byte-order mark: most of its other bytes are 0. Windows reads it
// as ANSI bytes and finds no section and no key. Answers "little-endian", "big-endian" or "".
std::string utf16WithoutMark(std::string_view bytes) {
    if (bytes.size() < 4 || bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        return "";
    }
    const std::string_view start = bytes.substr(0, 256);
    std::size_t zeroAtOdd = 0, zeroAtEven = 0;
    for (std::size_t i = 0; i < start.size(); ++i) {
        if (start[i] == '\0') ++(i % 2 == 1 ? zeroAtOdd : zeroAtEven);
    }
    const std::size_t half = start.size() / 2;
    if (zeroAtOdd * 2 > half && zeroAtEven * 8 < half) return "little-endian";
    if (zeroAtEven * 2 > half && zeroAtOdd * 8 < half) return "big-endian";
    return "";
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
            report.warn(section.line, "", "repeated-section",
                        "a second [Settings] section (the first is at line " +
                            std::to_string(settings->line) + "): only the first is read");
        }
        const std::string where =
            section.line == 0 ? "before any section"
            : repeated        ? "in the second [Settings] section"
                              : "in section [" +
                             printableText(narrow(section.name).substr(0, settingTextSize)) + "]";
        for (const ProfileKey& key : section.keys) {
            const std::string name = narrow(key.name);
            if (isComment(name)) continue;
            const SettingKey* setting = settingNamed(name);
            report.warn(key.line, setting != nullptr ? setting->key : "", "other-section",
                        inQuotes(name) + " is " + where + ": the plug-in reads only the " +
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

IniReport checkIni(const std::string& path) {
    IniReport result;
    result.file = printableText(path);
    const std::optional<std::string> bytes = platform::readProfileBytes(path);
    if (!bytes) {
        result.status = 2;
        result.error = unreadableReason(path);
        return result;
    }
    readSettings(fs::absolute(path).string().c_str(), result.settings);
    const platform::Profile profile = platform::parseProfile(*bytes);
    const auto first = std::find_if(profile.begin(), profile.end(), isSettingsSection);
    const ProfileSection* settingsSectionRead = first == profile.end() ? nullptr : &*first;

    Report report;
    FirstLines firstLines(settingKeys.size(), nullptr);
    if (const std::string utf16 = utf16WithoutMark(*bytes); !utf16.empty()) {
        report.warn(1, "", "utf-16",
                    "the file is UTF-16 (" + utf16 +
                        ") without a byte-order mark: Windows reads it as ANSI bytes and finds "
                        "no key, so every key keeps its default; save it as ANSI, or as UTF-16 "
                        "with its byte-order mark");
    } else if (settingsSectionRead == nullptr) {
        report.warn(1, "", "no-section", "no [Settings] section: every key keeps its default");
        checkOtherSections(report, profile, settingsSectionRead);
    } else {
        firstLines = checkSettingsKeys(report, *settingsSectionRead);
        checkRaisedDurations(report, firstLines, result.settings);
        checkOtherSections(report, profile, settingsSectionRead);
    }
    checkRanges(report, firstLines, result.settings);

    for (std::size_t i = 0; i < settingKeys.size(); ++i) {
        std::optional<std::string> written;
        if (firstLines[i] != nullptr && firstLines[i]->value) {
            written = keyText(*firstLines[i], settingTextSize).text;
        }
        result.values.push_back(
            {settingKeys[i].key,
             valueText(result.settings, settingKeys[i].field, written ? &*written : nullptr),
             firstLines[i] != nullptr ? firstLines[i]->line : 0});
    }
    result.warnings = std::move(report.warnings);
    std::stable_sort(result.warnings.begin(), result.warnings.end(),
                     [](const IniWarning& a, const IniWarning& b) { return a.line < b.line; });
    result.status = result.warnings.empty() ? 0 : 1;
    return result;
}

void printIniReport(const IniReport& report, std::ostream& out, std::ostream& messages) {
    if (report.status == 2) {
        messages << report.file << ": cannot read: " << report.error << '\n';
        return;
    }
    out << report.file << ": the plug-in reads\n";
    for (const IniValue& value : report.values) {
        std::string key = value.key;
        key.resize(longestKeyName, ' ');
        out << "  " << key << " = " << value.text << '\n';
    }
    for (const IniWarning& warning : report.warnings) {
        messages << report.file << ':' << warning.line << ": warning: " << warning.message << '\n';
    }
    messages << report.file << ": " << report.warnings.size()
             << (report.warnings.size() == 1 ? " warning\n" : " warnings\n");
}

Json iniReportData(const IniReport& report) {
    Json json = {{"file", jsonText(report.file)}, {"status", report.status}};
    if (report.status == 2) {
        json["error"] = jsonText(report.error);
        return json;
    }
    Json& values = json["values"] = Json::array();
    for (std::size_t i = 0; i < report.values.size(); ++i) {
        const IniValue& value = report.values[i];
        values.push_back({{"key", jsonText(value.key)},
                          {"value", jsonNumber(heldValue(report.settings, settingKeys[i].field))},
                          {"text", jsonText(value.text)},
                          {"line", value.line == 0 ? Json() : Json(value.line)}});
    }
    Json& warnings = json["warnings"] = Json::array();
    for (const IniWarning& warning : report.warnings) {
        warnings.push_back({{"line", warning.line},
                            {"key", warning.key.empty() ? Json() : jsonText(warning.key)},
                            {"kind", jsonText(warning.kind)},
                            {"message", jsonText(warning.message)}});
    }
    return json;
}

std::string iniReportJson(const IniReport& report) {
    return iniReportData(report).dump();
}
