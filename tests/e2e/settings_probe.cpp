// Prints what the plug-in reads from settings files: for each file, the eight values readSettings
// stores, the text the profile call gives for each key and that text read as a float, one line
// each, led by the file's name. The plug-in reads floats with its own atof on both platforms; the
// float line reads them with msvcrt's own atof on Windows (in the C locale, as this probe never
// sets one), so the comparison shows whether ours follows msvcrt's rules.
// Built for both platforms from this one source, so the Linux build can be compared with the real
// Windows calls (run under Wine) line by line: floats print in their shortest round-trip form,
// integers in decimal, text with every byte that is not printable ASCII (and ";[]", which CMake
// lists read) escaped.
//
// Usage: settings_probe FOLDER FILE...   (each file is read at FOLDER\FILE, as the plug-in builds
// its settings path)
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <variant>

#include "config/msvcrt_atof.h"
#include "config/settings.h"
#include "platform/win32_api.h"

namespace {

// What a key's text reads as when the file does not give it one.
constexpr const char* absentText = "<absent>";

std::string shortest(float value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

std::string quoted(const char* text) {
    std::string out = "\"";
    for (const char* c = text; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte < 0x20 || byte >= 0x7F || std::strchr("\"\\;[]", byte) != nullptr) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        } else {
            out += *c;
        }
    }
    return out + '"';
}

// Each value as readSettings stored it, by its key: floats in their shortest form, the rest as
// unsigned integers.
void printSettings(const char* file, const EffectSettings& s) {
    for (const SettingKey& setting : settingKeys) {
        std::visit(
            [&](auto field) {
                if constexpr (std::is_same_v<decltype(s.*field), const float&>) {
                    std::printf("%s: %s=%s\n", file, setting.key, shortest(s.*field).c_str());
                } else {
                    std::printf("%s: %s=%u\n", file, setting.key, unsigned{s.*field});
                }
            },
            setting.field);
    }
}

void printKeyTexts(const char* file, const std::string& path) {
    for (const SettingKey& setting : settingKeys) {
        char text[64];
        GetPrivateProfileStringA(settingsSection, setting.key, absentText, text, sizeof text,
                                 path.c_str());
        std::printf("%s: text of %s=%s\n", file, setting.key, quoted(text).c_str());
#ifdef _WIN32
        const double value = std::atof(text);  // msvcrt's
#else
        const double value = msvcrt::atof(text);  // ours
#endif
        std::printf("%s: float of %s=%s\n", file, setting.key,
                    shortest(static_cast<float>(value)).c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: settings_probe FOLDER FILE...\n");
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        const std::string path = std::string(argv[1]) + '\\' + argv[i];
        EffectSettings settings;
        readSettings(path.c_str(), settings);
        printSettings(argv[i], settings);
        printKeyTexts(argv[i], path);
    }
    std::fflush(stdout);
    return 0;
}
