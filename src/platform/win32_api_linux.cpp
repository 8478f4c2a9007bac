// The Linux replacement of the Win32 calls the plug-in makes (see win32_api.h).
//
// Profile calls read the file with inih, as Wine reads it where that matters to a settings file:
// section and key names (the ones asked for and the ones in the file) trimmed and compared without
// regard to letter case; only the first section of a name is read, even when it is empty; the
// first of duplicate keys wins; one pair of matching quotes around a value is removed; a UTF-8 BOM
// is skipped. Our reader hands inih only the lines of that first section, with their leading white
// space removed: inih would otherwise read an indented line as the continuation of the previous
// value and lose the key on it.
//
// Where the installed inih (Debian, default options) still reads differently from Windows:
// - ';' after white space starts a comment inside a value ("1 ; loud" reads "1"); Windows keeps
//   the whole text. Numbers read the same either way.
// - ':' separates a name from its value too ("a:1" is key a); Windows knows only '='.
// - Lines starting with ';' or '#' are comments; Windows reads them as keys no one asks for.
// - Only the first 199 characters of a line are read (inih's line buffer is 200 bytes); the rest
//   is dropped rather than read as a line of its own. Windows reads the line whole. The plug-in
//   reads at most 63 characters of a value.
// - UTF-16 files are not read.
// - A null section or key (Windows: list the names) and a null path (Windows: win.ini) read
//   nothing and give the default.
#include <ini.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <string_view>

#include "platform/win32_api.h"

namespace {

std::string windowsFolder;
std::atomic<platform::TickSource> tickSource{nullptr};

// The path as the file system wants it: '\' read as '/'.
std::string unixPath(std::string_view path) {
    std::string mapped(path);
    std::replace(mapped.begin(), mapped.end(), '\\', '/');
    return mapped;
}

// Where the profile calls find a file: a bare file name lives in the Windows folder.
std::string profileFilePath(std::string_view path) {
    std::string mapped = unixPath(path);
    if (mapped.find('/') != std::string::npos || windowsFolder.empty()) return mapped;
    return unixPath(windowsFolder) + '/' + mapped;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// One key looked up in one section of an open file; both the line source and the value sink of
// inih's stream parser.
struct ProfileLookup {
    std::FILE* file;
    std::string_view section;
    std::string_view key;
    int lineNumber = 0;
    bool inSection = false;
    bool done = false;  // left the section, or found the key
    std::optional<std::string> value{};
};

// Reads one physical line into line[0..size), dropping what does not fit; false at end of file.
// Embedded NULs are kept in the buffer, so they shorten the line without eating the next one.
bool readPhysicalLine(std::FILE* file, char* line, int size) {
    int length = 0;
    int c;
    while ((c = std::getc(file)) != EOF && c != '\n') {
        if (length < size - 1) line[length++] = static_cast<char>(c);
    }
    line[length] = '\0';
    return c != EOF || length > 0;
}

// Removes a BOM (first line only) and leading white space, in place.
void stripLineStart(char* line, int lineNumber) {
    char* start = line;
    if (lineNumber == 1 && std::strncmp(start, "\xEF\xBB\xBF", 3) == 0) start += 3;
    while (isBlank(*start)) ++start;
    std::memmove(line, start, std::strlen(start) + 1);
}

// The name of a section header line ("[name]" with anything after the ']'), if it is one.
std::optional<std::string_view> sectionName(const char* line) {
    const char* close = line[0] == '[' ? std::strchr(line, ']') : nullptr;
    if (close == nullptr) return std::nullopt;
    return trimmed(std::string_view(line + 1, close - line - 1));
}

// inih's line source: the lines of the first section named lookup.section, header excluded.
char* readSectionLine(char* line, int size, void* stream) {
    auto& lookup = *static_cast<ProfileLookup*>(stream);
    while (!lookup.done && readPhysicalLine(lookup.file, line, size)) {
        stripLineStart(line, ++lookup.lineNumber);
        std::optional<std::string_view> header = sectionName(line);
        if (!header) {
            if (lookup.inSection) return line;
        } else if (lookup.inSection) {
            lookup.done = true;
        } else {
            lookup.inSection = equalsNoCase(*header, lookup.section);
        }
    }
    return nullptr;
}

// inih's value sink: keeps the value of the first line naming the key, which stops the reader.
int takeValue(void* user, const char* /*section*/, const char* name, const char* value) {
    auto& lookup = *static_cast<ProfileLookup*>(user);
    if (equalsNoCase(name, lookup.key)) {
        lookup.value = value;
        lookup.done = true;
    }
    return 1;
}

std::string_view withoutQuotes(std::string_view text) {
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front()) {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

// The key's value, trimmed and unquoted; nothing when the file, the section or the key is absent.
std::optional<std::string> readProfileValue(LPCSTR section, LPCSTR key, LPCSTR path) {
    if (section == nullptr || key == nullptr || path == nullptr || *path == '\0') {
        return std::nullopt;
    }
    std::FILE* file = std::fopen(profileFilePath(path).c_str(), "rb");
    if (file == nullptr) return std::nullopt;
    ProfileLookup lookup{file, trimmed(section), trimmed(key)};
    ini_parse_stream(readSectionLine, &lookup, takeValue, &lookup);
    std::fclose(file);
    if (lookup.value) return std::string(withoutQuotes(*lookup.value));
    return std::nullopt;
}

// The value of c as a digit of any base up to 36, or 36 when it is not a digit.
UINT digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 36;
}

// Integer text as Windows reads it with its own string-to-integer routine (base 0 of
// RtlUnicodeStringToInteger, probed under Wine): blanks and control characters skipped, an optional
// sign, a lower-case prefix 0x, 0o or 0b for base 16, 8 or 2 (else base 10: "010" is ten, "0X1F"
// is 0), then digits up to the first character that is not one. Overflow wraps modulo 2^32 rather
// than clamping ("4294967301" is 5); a minus sign negates modulo 2^32 ("-5" is 4294967291).
UINT readWindowsInteger(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    UINT base = 10;
    if (text.size() >= 2 && text[0] == '0') {
        if (text[1] == 'x') base = 16;
        if (text[1] == 'o') base = 8;
        if (text[1] == 'b') base = 2;
        if (base != 10) text.remove_prefix(2);
    }
    UINT total = 0;
    for (char c : text) {
        const UINT digit = digitValue(c);
        if (digit >= base) break;
        total = total * base + digit;
    }
    return negative ? 0u - total : total;
}

// The default text with trailing spaces removed, as Windows does; null reads as empty.
std::string_view defaultTextOf(LPCSTR defaultText) {
    std::string_view text = defaultText != nullptr ? defaultText : "";
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer,
                               DWORD size, LPCSTR path) {
    if (buffer == nullptr || size == 0) return 0;
    const std::optional<std::string> value = readProfileValue(section, key, path);
    const std::string_view text = value ? std::string_view(*value) : defaultTextOf(defaultText);
    const std::size_t length = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return static_cast<DWORD>(length);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR path) {
    const std::optional<std::string> value = readProfileValue(section, key, path);
    if (!value || value->empty()) return static_cast<UINT>(defaultValue);
    return readWindowsInteger(*value);
}

DWORD GetFileAttributesA(LPCSTR path) {
    struct stat status {};
    if (path == nullptr || *path == '\0' || stat(unixPath(path).c_str(), &status) != 0) {
        return INVALID_FILE_ATTRIBUTES;
    }
    return S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

DWORD GetTickCount() {
    if (const platform::TickSource source = tickSource.load()) return source();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                              static_cast<std::uint64_t>(now.tv_nsec) / 1'000'000u;
    return static_cast<DWORD>(milliseconds);
}

namespace platform {

void setWindowsFolder(std::string folder) {
    windowsFolder = std::move(folder);
}

void setTickSource(TickSource source) {
    tickSource.store(source);
}

}  // namespace platform
