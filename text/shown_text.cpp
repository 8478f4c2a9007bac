#include "text/shown_text.h"

namespace {

// The length of the well-formed UTF-8 sequence at the start of text that encodes a printable
// character, or 0 when the first byte is a control character or not such a sequence.
std::size_t printableSequence(std::string_view text) {
    const std::size_t length = utf8Sequence(text);
    if (length == 0) return 0;
    const auto lead = static_cast<unsigned char>(text[0]);
    if (length == 1) return lead >= 0x20 && lead != 0x7F ? 1 : 0;
    // The C1 controls, U+0080..U+009F: C2 80..C2 9F.
    return lead == 0xC2 && static_cast<unsigned char>(text[1]) <= 0x9F ? 0 : length;
}

// Appends up to limit characters of text as printableText writes them; answers whether all fit.
bool appendPrintable(std::string& out, std::string_view text, std::size_t limit) {
    std::size_t characters = 0;
    while (!text.empty()) {
        if (characters++ == limit) return false;
        const std::size_t length = printableSequence(text);
        if (length == 0) {
            out += escapedByte(static_cast<unsigned char>(text.front()));
            text.remove_prefix(1);
        } else {
            out += text.substr(0, length);
            text.remove_prefix(length);
        }
    }
    return true;
}

}  // namespace

std::size_t utf8Sequence(std::string_view text) {
    if (text.empty()) return 0;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || text.size() < length) return 0;
    char32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(i) & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not well-formed.
    constexpr char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < shortest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return length;
}

std::string escapedByte(unsigned char byte) {
    constexpr char hex[] = "0123456789ABCDEF";
    return {'\\', 'x', hex[byte >> 4], hex[byte & 0xF]};
}

std::string printableText(std::string_view text) {
    std::string out;
    appendPrintable(out, text, text.size());
    return out;
}

std::string quotedExcerpt(std::string_view text, std::size_t limit) {
    std::string out = "'";
    if (appendPrintable(out, text, limit)) return out + "'";
    return out + "...' (" + std::to_string(text.size()) + " bytes)";
}
