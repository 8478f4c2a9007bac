#include "compat/profile_file.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

#include "compat/ansi_best_fit.h"

namespace platform {

namespace {

// Code page 1252 at 0x80-0x9F; the other bytes are their own code points. Windows maps the five
// bytes 1252 leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) to themselves.
constexpr std::array<char16_t, 32> ansiHighCharacters = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char16_t replacementCharacter = 0xFFFD;

bool startsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

std::u16string decodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        text += static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    return text;
}

// Appends a code point as UTF-16.
void appendCodePoint(std::u16string& text, char32_t codePoint) {
    if (codePoint < 0x10000) {
        text += static_cast<char16_t>(codePoint);
        return;
    }
    codePoint -= 0x10000;
    text += static_cast<char16_t>(0xD800 + (codePoint >> 10));
    text += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
}

// UTF-8 to UTF-16; each byte of an ill-formed sequence becomes U+FFFD.
std::u16string decodeUtf8(std::string_view bytes) {
    std::u16string text;
    while (!bytes.empty()) {
        char32_t codePoint = 0;
        const std::size_t length = utf8Sequence(bytes, codePoint);
        appendCodePoint(text, length == 0 ? replacementCharacter : codePoint);
        bytes.remove_prefix(std::max<std::size_t>(length, 1));
    }
    return text;
}

std::u16string decodeProfile(std::string_view bytes) {
    if (startsWith(bytes, "\xEF\xBB\xBF")) return decodeUtf8(bytes.substr(3));
    if (startsWith(bytes, "\xFF\xFE")) return decodeUtf16(bytes.substr(2), false);
    if (startsWith(bytes, "\xFE\xFF")) return decodeUtf16(bytes.substr(2), true);
    return widenAnsi(bytes);
}

std::u16string_view trimmedLeft(std::u16string_view text) {
    while (!text.empty() && isProfileSpace(text.front())) text.remove_prefix(1);
    return text;
}

std::u16string_view trimmedRight(std::u16string_view text) {
    while (!text.empty() && isProfileSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::u16string_view trimmed(std::u16string_view text) {
    return trimmedRight(trimmedLeft(text));
}

std::u16string cutAtNul(std::u16string_view text) {
    return std::u16string(text.substr(0, text.find(u'\0')));
}

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](auto x, auto y) { return lower(x) == lower(y); });
}

// Adds one trimmed, non-empty line to the profile: a section header or a key.
void readLine(std::u16string_view line, int lineNumber, Profile& profile) {
    const std::size_t close = line.rfind(u']');
    if (line.front() == u'[' && close != std::u16string_view::npos && close > 0) {
        profile.push_back({cutAtNul(trimmed(line.substr(1, close - 1))), lineNumber, {}});
        return;
    }
    std::vector<ProfileKey>& keys = profile.back().keys;
    const std::size_t equals = line.find(u'=');
    if (equals == std::u16string_view::npos) {
        keys.push_back({cutAtNul(line), std::nullopt, lineNumber});
    } else {
        keys.push_back({cutAtNul(trimmedRight(line.substr(0, equals))),
                        cutAtNul(trimmedLeft(line.substr(equals + 1))), lineNumber});
    }
}

std::uint32_t digitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'z') return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
    return 36;
}

std::uint32_t integerBase(std::u16string_view& text) {
    if (text.size() < 2 || text[0] != u'0') return 10;
    const std::u16string_view prefixes = u"xob";
    constexpr std::uint32_t bases[] = {16, 8, 2};
    const std::size_t prefix = prefixes.find(text[1]);
    if (prefix == std::u16string_view::npos) return 10;
    text.remove_prefix(2);
    return bases[prefix];
}

// The byte Windows' conversion gives a character code page 1252 lacks: its look-alike, or '?'.
char lookAlike(char16_t c) {
    const auto found = std::lower_bound(
        ansiLookAlikes.begin(), ansiLookAlikes.end(), c,
        [](const AnsiLookAlike& entry, char16_t unit) { return entry.codeUnit < unit; });
    const bool listed = found != ansiLookAlikes.end() && found->codeUnit == c;
    return listed ? static_cast<char>(found->byte) : '?';
}

}  // namespace

std::size_t utf8Sequence(std::string_view bytes, char32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    const std::size_t length = lead < 0x80   ? 1
                               : lead < 0xC2 ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    if (length == 0 || length > bytes.size()) return 0;
    codePoint = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(bytes[i]);
        if ((next & 0xC0) != 0x80) return 0;
        codePoint = codePoint << 6 | (next & 0x3F);
    }
    constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (codePoint < smallest[length] || codePoint > 0x10FFFF || surrogate) return 0;
    return length;
}

bool isProfileSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r') || c == 0x1A;
}

std::optional<std::string> readProfileBytes(const std::string& unixPath) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(unixPath, error)) return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(unixPath, error);
    if (error || size > maxProfileBytes) return std::nullopt;
    std::ifstream file(unixPath, std::ios::binary);
    if (!file) return std::nullopt;
    std::string bytes(size, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

Profile parseProfile(std::string_view bytes) {
    const std::u16string text = decodeProfile(bytes);
    const std::u16string_view all = text;
    Profile profile{{u"", 0, {}}};
    int lineNumber = 1;
    for (std::size_t start = 0; start < all.size(); ++lineNumber) {
        const std::size_t end = std::min(all.find_first_of(u"\r\n", start), all.size());
        const std::u16string_view line = trimmed(all.substr(start, end - start));
        if (!line.empty()) readLine(line, lineNumber, profile);
        // CR LF is one line break to an editor; to Windows it ends a line and an empty one.
        start = end + (all.substr(end, 2) == u"\r\n" ? 2 : 1);
    }
    return profile;
}

const ProfileKey* findProfileKey(const Profile& profile, std::u16string_view section,
                                 std::u16string_view key) {
    const auto named = std::find_if(profile.begin(), profile.end(), [&](const ProfileSection& s) {
        return equalsIgnoringCase(s.name, trimmed(section));
    });
    if (named == profile.end()) return nullptr;
    const auto found =
        std::find_if(named->keys.begin(), named->keys.end(),
                     [&](const ProfileKey& k) { return equalsIgnoringCase(k.name, trimmed(key)); });
    return found == named->keys.end() ? nullptr : &*found;
}

std::optional<std::u16string> profileText(const ProfileKey* key, std::size_t bufferSize) {
    if (key == nullptr || !key->value || bufferSize == 0) return std::nullopt;
    std::u16string_view value = *key->value;
    const bool quoted =
        value.size() >= 2 && (value[0] == u'"' || value[0] == u'\'') && value.back() == value[0];
    if (quoted) value.remove_prefix(1);
    std::u16string text(value.substr(0, bufferSize - 1));
    // The closing quote goes with the last character copied, which is one too many when the
    // text filled the buffer exactly: what Windows does under Wine.
    if (quoted && bufferSize >= value.size() && !text.empty()) text.pop_back();
    return text;
}

std::optional<ProfileInteger> profileInteger(const ProfileKey* key) {
    const std::optional<std::u16string> text = profileText(key, profileIntegerBufferSize);
    if (!text || text->empty()) return std::nullopt;
    std::u16string_view rest = *text;
    while (!rest.empty() && rest.front() <= u' ') rest.remove_prefix(1);
    ProfileInteger reading{0, !rest.empty() && rest.front() == u'-', 10, false, 0, 0};
    if (!rest.empty() && (rest.front() == u'+' || reading.negative)) rest.remove_prefix(1);
    reading.base = integerBase(rest);
    std::uint64_t total = 0;
    for (; !rest.empty() && digitValue(rest.front()) < reading.base; rest.remove_prefix(1)) {
        total = total * reading.base + digitValue(rest.front());
        reading.overflowed = reading.overflowed || total > 0xFFFFFFFFu;
        total &= 0xFFFFFFFFu;
        ++reading.digits;
    }
    reading.value = static_cast<std::uint32_t>(reading.negative ? 0u - total : total);
    reading.unread = rest.size();
    return reading;
}

std::u16string widenAnsi(std::string_view text) {
    std::u16string wide;
    wide.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        wide += byte >= 0x80 && byte < 0xA0 ? ansiHighCharacters[byte - 0x80] : char16_t{byte};
    }
    return wide;
}

std::string narrowToAnsi(std::u16string_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (const char16_t c : text) {
        const auto high = std::find(ansiHighCharacters.begin(), ansiHighCharacters.end(), c);
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            narrow += static_cast<char>(c);
        } else if (high != ansiHighCharacters.end()) {
            narrow += static_cast<char>(0x80 + (high - ansiHighCharacters.begin()));
        } else {
            narrow += lookAlike(c);
        }
    }
    return narrow;
}

}  // namespace platform
