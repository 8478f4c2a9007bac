// A settings file read the way the Windows profile calls read it (GetPrivateProfileStringA and
// GetPrivateProfileIntA), for the Linux replacement of those calls and for tools that explain a
// file to a modder. Portable C++: the file is read through the standard library.
//
// Windows' rules, as probed under Wine 8 with the real calls (tests/e2e/settings_probe.cpp runs
// them over tests/unit/compat/ini_corpus/ and compares with this reader):
//
// Encoding
// - A file starting with EF BB BF is UTF-8; with FF FE UTF-16 LE; with FE FF UTF-16 BE (the BOM
//   is not part of the first line). Any other file is ANSI text (code page 1252). A UTF-16 file
//   without a BOM is therefore read as ANSI and its NUL bytes hide every name.
// - The A calls hand text back in the ANSI code page, converted with best fit: 441 characters it
//   lacks become look-alikes (compat/ansi_best_fit.h: U+2003 a space, U+2212 '-', U+2080 '0',
//   U+0100 'A', fullwidth forms their ASCII counterparts), every other one '?' (each half of a
//   surrogate pair too). The text is converted last: a look-alike of '=', '[' or a quote, or of a
//   space, is none of these to the rules below, and the integer call reads the text unconverted.
//   Ill-formed UTF-8 reads as U+FFFD ('?'), one per byte here; Windows sometimes merges two bytes
//   into one. Either way no digit comes of it.
// Lines
// - A line ends at CR or at LF, so CRLF, LF and a lone CR all end lines; blank lines vanish.
//   Lines have no length limit.
// - Each line is trimmed of white space: tab, LF, VT, FF, CR, space and 0x1A (Ctrl-Z); not
//   0x1C-0x1F, U+00A0, U+0085, U+3000 or U+FEFF (a second BOM makes its line unreadable).
// Sections
// - A line starting with '[' that has a ']' later on it is a section header; the name runs to the
//   last ']' of the line and is trimmed; what follows that ']' is ignored. "[a]b]" names "a]b".
//   A '[' line with no ']' is an ordinary line, so its keys stay in the section before it.
// - Keys before the first header belong to no section anyone can ask for.
// - Of several sections with one name (letter case ignored) only the first is read, even when the
//   key sought is only in a later one.
// Keys
// - Everything up to the first '=' is the name, trimmed on the right; the rest of the line, trimmed
//   on the left, is the value. ':' is no separator; ';' and '#' start no comment, neither
//   at the start of a line (that line is a key no one asks for) nor after a value ("1 ; loud" is
//   the value). Any further '=' belongs to the value.
// - A line without '=' is a key without a value: asked for, it gives the default, and it hides
//   any later line of the same key, since the first line of a name wins.
// - Names are compared without regard to ASCII letter case (the Kelvin sign is no 'K'). A NUL
//   character ends a name or a value (after the line was trimmed, so "0.5 <NUL>x" reads "0.5 ").
// The string call
// - A value starting and ending with the same quote (' or ") of at least two characters loses
//   both quotes. Wine's copy drops one character too many when the unquoted value is exactly one
//   shorter than the buffer ("..." with 63 characters inside reads 62 into 64 bytes); followed.
// - The default has its trailing spaces removed. The text is cut to size - 1 characters.
// The integer call
// - Reads the text as the string call would into a 30-character buffer (so at most 29
//   characters count), the default when that text is empty, else converts it as
//   RtlUnicodeStringToInteger with base 0 does: characters up to U+0020 skipped, one optional
//   sign, a lower-case prefix 0x, 0o or 0b for base 16, 8 or 2 (else decimal: "010" is ten, "0X1F"
//   is 0), ASCII digits up to the first that is not one, wrapping modulo 2^32 ("4294967301" is
//   5, "-5" is 4294967291). The conversion sees the UTF-16 text, so no look-alike counts: a
//   fullwidth or subscript digit is no digit, U+2212 no minus. Wine's A call reads the text so;
//   no documentation says whether Windows' converts the look-alikes first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One key line: its name and value as the file gives them (trimmed, cut at a NUL, quotes kept),
// no value for a line without '='. Lines count from 1 as an editor counts them.
struct ProfileKey {
    std::u16string name;
    std::optional<std::u16string> value;
    int line;
};

// A section and its keys in file order. The keys before the first header make a section with an
// empty name at line 0.
struct ProfileSection {
    std::u16string name;
    int line;
    std::vector<ProfileKey> keys;
};

using Profile = std::vector<ProfileSection>;

// The whole content of a regular file of at most maxProfileBytes, or nothing when the path names
// a folder, a device, a larger file or a file that cannot be opened. Windows reads any size; a
// settings file that large is no settings file, and reading it whole could exhaust memory.
constexpr std::uintmax_t maxProfileBytes = 64u << 20;
std::optional<std::string> readProfileBytes(const std::string& unixPath);

Profile parseProfile(std::string_view bytes);

// The first key of that name in the first section of that name (both trimmed, letter case
// ignored), or nullptr.
const ProfileKey* findProfileKey(const Profile& profile, std::u16string_view section,
                                 std::u16string_view key);

// The value of a key as the string call copies it into a buffer of bufferSize characters: quotes
// removed and cut to bufferSize - 1 characters. Nothing for an absent key or a line without '='.
std::optional<std::u16string> profileText(const ProfileKey* key, std::size_t bufferSize);

// How the integer call read a value's text (see above).
struct ProfileInteger {
    std::uint32_t value;  // modulo 2^32
    bool negative;        // after a minus sign: the value wrapped below zero
    std::uint32_t base;   // 16, 8 or 2 after a 0x, 0o or 0b prefix, else 10
    bool overflowed;      // the digits went past 32 bits and wrapped
    std::size_t digits;   // digits read
    std::size_t unread;   // characters left after the last digit read
};

// The size of the buffer the integer call reads a value's text into.
constexpr std::size_t profileIntegerBufferSize = 30;

// The integer call's reading of a key's value; nothing when the text is empty.
std::optional<ProfileInteger> profileInteger(const ProfileKey* key);

// The length of the well-formed UTF-8 sequence at the start of bytes, and its code point; 0 when
// none starts there. UTF-8 files are read, and Linux file names compared, by it.
std::size_t utf8Sequence(std::string_view bytes, char32_t& codePoint);

// Text between the A calls and the file's UTF-16: ANSI code page 1252 both ways.
std::u16string widenAnsi(std::string_view text);
std::string narrowToAnsi(std::u16string_view text);

// White space as a profile line is trimmed of it.
bool isProfileSpace(char16_t c);

}  // namespace platform
