// Prints the look-alikes Windows picks when the ANSI profile calls hand back text that code page
// 1252 cannot hold: one line "XXXX YY" (UTF-16 code unit, byte, both in hex) for every code unit
// that does not read back as itself and does not become '?'. tools/ansi-best-fit/generate turns
// the lines into compat/ansi_best_fit.cpp.
//
// Every code unit goes through both what the profile calls do internally (WideCharToMultiByte
// with no flags, so best fit is on) and GetPrivateProfileStringA itself on a UTF-16 file holding
// all of them; the program fails, naming each, where the two disagree.
//
// Usage: probe_ansi_best_fit   (writes a scratch settings file in the current folder)
#include <windows.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

constexpr UINT ansiCodePage = 1252;
constexpr int codeUnits = 0x10000;

// Each code unit as the conversion gives it, by itself.
std::array<unsigned char, codeUnits> convertEach() {
    std::array<unsigned char, codeUnits> bytes{};
    for (int unit = 0; unit < codeUnits; ++unit) {
        const auto wide = static_cast<WCHAR>(unit);
        char narrow = 0;
        WideCharToMultiByte(ansiCodePage, 0, &wide, 1, &narrow, 1, nullptr, nullptr);
        bytes[unit] = static_cast<unsigned char>(narrow);
    }
    return bytes;
}

// NUL ends a value and CR and LF end a line, so the file cannot carry these three.
bool fileCanCarry(int unit) {
    return unit != 0 && unit != '\n' && unit != '\r';
}

// A UTF-16 settings file with one key per 256 code units, "kHH" for the units 0xHH00-0xHHFF, its
// value quoted so the line's trimming leaves its ends alone. A unit the file cannot carry is an
// 'x' in its place.
std::wstring settingsText() {
    std::wstring text = L"\xFEFF[S]\r\n";
    for (int high = 0; high < 256; ++high) {
        wchar_t key[8];
        std::swprintf(key, 8, L"k%02X=\"", high);
        text += key;
        for (int low = 0; low < 256; ++low) {
            const int unit = high << 8 | low;
            text += fileCanCarry(unit) ? static_cast<wchar_t>(unit) : L'x';
        }
        text += L"\"\r\n";
    }
    return text;
}

bool writeFile(const char* path, const std::wstring& text) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const std::size_t size = text.size() * sizeof(wchar_t);
    const bool written = std::fwrite(text.data(), 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

// The number of code units on which GetPrivateProfileStringA disagrees with the conversion, each
// named on stderr; -1 when the file could not be written or a key could not be read.
int disagreements(const std::array<unsigned char, codeUnits>& converted) {
    char path[MAX_PATH];
    if (GetFullPathNameA("ansi_best_fit_probe.ini", MAX_PATH, path, nullptr) == 0 ||
        !writeFile(path, settingsText())) {
        std::fprintf(stderr, "cannot write the scratch settings file\n");
        return -1;
    }
    int count = 0;
    for (int high = 0; high < 256; ++high) {
        char key[8];
        std::snprintf(key, sizeof key, "k%02X", high);
        char text[1024];
        if (GetPrivateProfileStringA("S", key, "", text, sizeof text, path) != 256) {
            std::fprintf(stderr, "key %s did not read as 256 characters\n", key);
            count = -1;
            break;
        }
        for (int low = 0; low < 256; ++low) {
            const int unit = high << 8 | low;
            const auto read = static_cast<unsigned char>(text[low]);
            if (fileCanCarry(unit) && read != converted[unit]) {
                std::fprintf(stderr, "U+%04X: the profile call gives %02X, the conversion %02X\n",
                             unit, read, converted[unit]);
                ++count;
            }
        }
    }
    DeleteFileA(path);
    return count;
}

// The code unit a byte of the code page stands for.
WCHAR widened(unsigned char byte) {
    const char narrow = static_cast<char>(byte);
    WCHAR wide = 0;
    MultiByteToWideChar(ansiCodePage, 0, &narrow, 1, &wide, 1);
    return wide;
}

}  // namespace

int main() {
    // The profile calls convert to the process's ANSI code page; Wine takes it from the locale.
    if (GetACP() != ansiCodePage) {
        std::fprintf(stderr, "the ANSI code page is %u, not %u: run with LC_ALL=en_US.UTF-8\n",
                     GetACP(), ansiCodePage);
        return 1;
    }
    const std::array<unsigned char, codeUnits> converted = convertEach();
    const int disagreed = disagreements(converted);
    if (disagreed != 0) {
        std::fprintf(stderr, "the profile call and the conversion disagree (%d)\n", disagreed);
        return 1;
    }
    for (int unit = 0; unit < codeUnits; ++unit) {
        const unsigned char byte = converted[unit];
        if (byte != '?' && widened(byte) != unit) std::printf("%04X %02X\n", unit, byte);
    }
    std::fflush(stdout);
    return 0;
}
