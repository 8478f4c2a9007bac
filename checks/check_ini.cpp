#include "checks/check_ini.h"

#include <algorithm>
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
#include "text/float_text.h"
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
constexpr std::uint8_t fullRadioVolume = 127;

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
                                  floatText(static_cast<float>(setting.defaultValue)));
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
        report.warn(key != nullptr ? key->line : 1,
                    inQuotes(setting.key) + " (" + std::to_string(asRead) + ") is below " +
                        inQuotes(floor.key) + ": the plug-in raises it to " +
                        std::to_string(settings.*setting.atLeast));
    }
}

// Values the plug-in takes as they are although they lie outside what each setting is for: what
// it then does with them.
void checkRanges(Report& report, const FirstLines& firstLines, const EffectSettings& settings) {
    const auto lineOf = [&](const void* field) {
        for (std::size_t i = 0; i < settingKeys.size(); ++i) {
            const bool same = std::visit(
                [&](auto member) { return static_cast<const void*>(&(settings.*member)) == field; },
                settingKeys[i].field);
            if (same) return firstLines[i] != nullptr ? firstLines[i]->line : 1;
        }
        return 1;
    };
    for (const auto& [volume, key] : {std::pair{&settings.volumeDamage, "Volume Damage"},
                                      std::pair{&settings.volumeNoise, "Volume Noise"}}) {
        const std::string is = inQuotes(key) + " = " + floatText(*volume) + " ";
        if (*volume < 0.0f) {
            // Measured through the Linux audio library: BASS_ChannelSetAttribute refuses a
            // negative volume and the stream keeps the volume it had, full when it never had one.
            report.warn(lineOf(volume), is + "is negative: the audio library refuses it, so the "
                                             "sound plays at its last volume, at first full (1.0)");
        } else if (*volume > 1.0f) {
            report.warn(lineOf(volume), is + "is above full (1.0): the sound plays " +
                                            floatText(*volume) +
                                            " times as loud as its file, and loud parts clip");
        }
    }
    for (const auto& [volume, key] :
         {std::pair{&settings.radioDuckVolume, "Radio Duck Volume"},
          std::pair{&settings.tunnelDuckVolume, "Tunnel Radio Duck Volume"}}) {
        if (*volume <= fullRadioVolume) continue;
        report.warn(lineOf(volume), inQuotes(key) + " = " + std::to_string(*volume) +
                                        " is above the radio's full 127: the plug-in pushes it "
                                        "to the game as it is, louder than full, and the radio "
                                        "stays there until the plug-in sets another volume");
    }
    if (settings.impactIntensity < 0.0f) {
        report.warn(lineOf(&settings.impactIntensity),
                    "'Impact intensity' = " + floatText(settings.impactIntensity) +
                        " is negative: an impact force of 0 is above it, so every frame in a "
                        "vehicle is a crash and the radio stays ducked");
    }
    const std::uint64_t longest = std::uint64_t{settings.minImpactMs} + largestDraw;
    if (settings.maxImpactMs > longest) {
        report.warn(lineOf(&settings.maxImpactMs),
                    "'Maximum time impact SFX' = " + std::to_string(settings.maxImpactMs) +
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
            report.warn(section.line, "a second [Settings] section (the first is at line " +
                                          std::to_string(settings->line) +
                                          "): only the first is read");
        }
        const std::string where =
            section.line == 0 ? "before any section"
            : repeated        ? "in the second [Settings] section"
                              : "in section [" +
                             printableText(narrow(section.name).substr(0, settingTextSize)) + "]";
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

int checkIni(const std::string& path, std::ostream& out, std::ostream& messages) {
    const std::optional<std::string> bytes = platform::readProfileBytes(path);
    if (!bytes) {
        messages << printableText(path) << ": cannot read: " << unreadableReason(path) << '\n';
        return 2;
    }
    EffectSettings settings;
    readSettings(fs::absolute(path).string().c_str(), settings);
    const platform::Profile profile = platform::parseProfile(*bytes);
    const auto first = std::find_if(profile.begin(), profile.end(), isSettingsSection);
    const ProfileSection* settingsSectionRead = first == profile.end() ? nullptr : &*first;

    Report report;
    FirstLines firstLines(settingKeys.size(), nullptr);
    if (const std::string utf16 = utf16WithoutMark(*bytes); !utf16.empty()) {
        report.warn(1, "the file is UTF-16 (" + utf16 +
                           ") without a byte-order mark: Windows reads it as ANSI bytes and finds "
                           "no key, so every key keeps its default; save it as ANSI, or as UTF-16 "
                           "with its byte-order mark");
    } else if (settingsSectionRead == nullptr) {
        report.warn(1, "no [Settings] section: every key keeps its default");
        checkOtherSections(report, profile, settingsSectionRead);
    } else {
        firstLines = checkSettingsKeys(report, *settingsSectionRead);
        checkRaisedDurations(report, firstLines, settings);
        checkOtherSections(report, profile, settingsSectionRead);
    }
    checkRanges(report, firstLines, settings);

    out << printableText(path) << ": the plug-in reads\n";
    for (std::size_t i = 0; i < settingKeys.size(); ++i) {
        std::string key = settingKeys[i].key;
        key.resize(longestKeyName, ' ');
        std::optional<std::string> written;
        if (firstLines[i] != nullptr && firstLines[i]->value) {
            written = keyText(*firstLines[i], settingTextSize).text;
        }
        out << "  " << key << " = "
            << valueText(settings, settingKeys[i].field, written ? &*written : nullptr) << '\n';
    }
    report.print(printableText(path), messages);
    return report.warnings.empty() ? 0 : 1;
}
